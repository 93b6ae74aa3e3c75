#pragma once

// What kind of failure an error record stands for, so that callers decide on the kind and never on the
// wording of the sentence shown to the user.
enum class ErrorKind {
    failed,
    cancelled, // the user's own stop: there is nothing to report
    alreadyExists, // the target name was taken, so nothing was written
    refused, // the service turned down the credentials: trying again with them is pointless
};
