#pragma once

// The numbers of the message table entries, all in one place; the texts are in "mess.dic".

namespace zrd::params {

inline constexpr int kMsgCaption = 0;          // caption of every message box
inline constexpr int kMsgBadDatabaseLine = 1;  // put in front of a database line that fails
inline constexpr int kMsgNoDrive = 1;          // the drive did not answer the connection check
inline constexpr int kMsgNoDatabase = 3;
inline constexpr int kMsgDatabaseFailed = 4;
inline constexpr int kMsgPortWriteError = 7;  // a scope's start or stop frame not written
inline constexpr int kMsgFrameNotWritten = 10;
inline constexpr int kMsgScopeRefused = 11;  // "p" status 3 to a scope's start
inline constexpr int kMsgMinimum = 14;       // page header labels
inline constexpr int kMsgMaximum = 15;
inline constexpr int kMsgDefault = 16;
// The port hung up; the link's reason (naming the port) follows the text.
inline constexpr int kMsgPortLost = 17;
// Captions of the status fields Control .. Error, in this order.
inline constexpr int kMsgFirstStatusCaption = 18;
inline constexpr int kMsgLastStatusCaption = 24;
inline constexpr int kMsgStateOffline = 21;
inline constexpr int kMsgOneError = 24;
inline constexpr int kMsgParameterSilent = 26;
inline constexpr int kMsgOnline = 27;
inline constexpr int kMsgOnlineDetail = 28;
inline constexpr int kMsgOfflineDetail = 29;
inline constexpr int kMsgNoReply = 38;
inline constexpr int kMsgCannotOpen = 49;
inline constexpr int kMsgCannotSetState = 50;
inline constexpr int kMsgCannotSetTimeouts = 51;
inline constexpr int kMsgCannotSetEvents = 52;
inline constexpr int kMsgNothingKnown = 53;  // write-all with no known value at all
inline constexpr int kMsgStatusPage = 56;
inline constexpr int kMsgApplicationPage = 57;
// Action log: date, time and the action texts.
inline constexpr int kMsgLogDate = 58;
inline constexpr int kMsgLogTime = 59;
inline constexpr int kMsgLogReadAll = 60;
inline constexpr int kMsgLogViewOscillogram = 61;
inline constexpr int kMsgLogSaveOscillogram = 62;
inline constexpr int kMsgWriteAccepted = 63;
inline constexpr int kMsgWriteRefused = 64;
inline constexpr int kMsgWriteUnanswered = 75;  // action log: a write without any answer
inline constexpr int kMsgErrorsPresent = 67;
inline constexpr int kMsgErrors = 68;
inline constexpr int kMsgNoErrorsList = 70;
inline constexpr int kMsgNoScopeSignal = 86;
inline constexpr int kMsgChooseScopeSignal = 87;
inline constexpr int kMsgDefaultWritten = 83;  // SetParam's substitution of the default
inline constexpr int kMsgOutsideLimits = 85;   // an entered value refused before any write
inline constexpr int kMsgRefused = 88;
inline constexpr int kMsgUnknownNotWritten = 90;  // write-all skipped values not known
inline constexpr int kMsgWriteAllStopped = 91;
inline constexpr int kMsgReadAllStopped = 92;
inline constexpr int kMsgWarningsPresent = 94;
inline constexpr int kMsgOneWarning = 95;
inline constexpr int kMsgWarningCaption = 95;
inline constexpr int kMsgWarnings = 96;
inline constexpr int kMsgNoWarningsList = 97;
inline constexpr int kMsgNoErrors = 98;
// The trace viewers: "AFR and PFR" (its prompt, a start outside the buffer, no frequency
// response yet) and "Print" (+ the picture's path).
inline constexpr int kMsgAnalysisStartPrompt = 89;
inline constexpr int kMsgAnalysisStartRange = 6;
inline constexpr int kMsgNoFrequencyResponse = 37;
inline constexpr int kMsgPictureSaved = 13;
inline constexpr int kMsgPictureNotSaved = 12;

}  // namespace zrd::params
