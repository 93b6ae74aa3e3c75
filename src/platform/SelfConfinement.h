#pragma once

#include <cstdint>

// For a helper that faces hostile files and has already loaded every library it needs: from here on it
// can open no file and no socket, whatever a file makes its code do; it keeps the descriptors it holds
// and those passed to it.
namespace SelfConfinement {

// Applies every layer this kernel offers (Landlock without a single rule, the system-call filter of the
// tool steps, no new privileges, small limits; `addressSpace` 0 leaves that one unlimited). False when a
// layer the kernel offers could not be applied: the caller must then stop rather than go on unconfined.
bool lockDown(std::uint64_t addressSpace);

} // namespace SelfConfinement
