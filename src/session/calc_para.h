#pragma once

// CALCPARA (0x69): the drive recalculates its internal values from the parameters it holds,
// after a new motor or drive type. Refused while the servo is on; read-all follows success.

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "session/service_commands.h"

namespace zrd::session {

// How long the drive may work on the recalculation before its acknowledge, added to the reply
// bound of the frame. The menu's wait was once a count of 10000 queue polls, the configuration
// dialog's ten times as many; these are their time bounds.
inline constexpr int kCalcParaWorkMs = 500;
inline constexpr int kCalcParaDialogWorkMs = 5000;
// The pause between the acknowledge and the read-all that fetches the new values.
inline constexpr int kCalcParaReadAllDelayMs = 100;

struct CalcParaResult {
    ServiceOutcome outcome = ServiceOutcome::NotRun;
    int message = 0;  // the numbered message shown; 0 none
    // Done: the read-all is due after this many ms (−1: none).
    int readAllDueMs = -1;
};

// Sends CALCPARA and awaits the acknowledge within `workMs` beyond the frame's reply bound.
// Not run while the link is busy or without a drive. While the servo is on: message 40 and
// nothing sent. A frame not written: message 10; a refusal ("p" status 3): message 93; no
// answer or something else than an acknowledge: messages 109, 111; a hang-up is told by the
// link. The link is free again at the end, the read count back at 8.
CalcParaResult sendCalcPara(link::DriveLink& link, const params::ParameterModel& model,
                            const params::MessageTable& messages, bool servoOn,
                            int workMs = kCalcParaWorkMs);

// The same exchange for a caller that holds the link already (the configuration dialog).
CalcParaResult calcParaExchange(link::DriveLink& link, const params::ParameterModel& model,
                                const params::MessageTable& messages, int workMs);

}  // namespace zrd::session
