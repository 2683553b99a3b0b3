#include "app/cli/Options.h"
#include "app/cli/Records.h"

namespace cli {

// The exit status of a run that got as far as the cameras, the worst first:
//   130  interrupted before every camera's turn was over (a dry run: at any time)
//     1  a camera failed, or was refused under --all; under --all a camera may have been missed
//        (an interface or device the producer could not list); a record or other output was
//        not written
//     3  every upload was flashed, but a camera did not answer within --wait-timeout
//     0  every selected camera was updated and answered (a dry run: everything is ready)
// 2 is the refusal before anything was written to any camera, decided before this.
int ExitStatus(const Outcomes& outcomes, bool interrupted, bool writeFailed) {
    if (interrupted || outcomes.Count(Result::Interrupted) > 0)
        return kExitInterrupted;
    if (outcomes.Count(Result::Failed) > 0 || outcomes.Count(Result::Refused) > 0 || writeFailed)
        return kExitFailed;
    if (outcomes.Count(Result::Timeout) > 0)
        return kExitTimedOut;
    return kExitDone;
}

} // namespace cli
