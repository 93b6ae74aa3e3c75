#pragma once

#include <QString>
#include <cstdint>

// A Landlock rule set, built in the parent before the child starts: the child only has to restrict itself
// with the descriptor. Every failure here grants less, never more: a path that cannot be opened or a rule
// the kernel refuses simply gives no access.
class LandlockRuleset
{
public:
    enum class Access {
        read, // a file alone, or a folder and everything beneath it
        readExecute, // system software: libraries, programs, their data
        readWrite, // a device such as /dev/null
        everything, // a folder that belongs to the run alone
    };

    // The highest Landlock ABI the kernel offers; 0 when it has none.
    static int kernelAbi();

    // Handles every access right the given ABI knows, so whatever has no rule is refused.
    explicit LandlockRuleset(int abi);
    LandlockRuleset(const LandlockRuleset&) = delete;
    LandlockRuleset& operator=(const LandlockRuleset&) = delete;
    ~LandlockRuleset();

    bool isValid() const { return m_fd >= 0; }
    void allow(const QString& path, Access access);
    // Hands the descriptor over; the rule set is then empty.
    int release();

private:
    int m_fd = -1;
    std::uint64_t m_handled = 0;
};
