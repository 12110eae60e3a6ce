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
// The language switch: no dictionary (30), no motor type table (31), the language names
// "Eng"/"Rus" (32) and the question for the new setting (54).
inline constexpr int kMsgNoDictionary = 30;
inline constexpr int kMsgNoMotorTypes = 31;
inline constexpr int kMsgLanguageName = 32;
inline constexpr int kMsgLanguagePrompt = 54;
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
// Serial ports: why a port does not open, and the adapter's latency timer. "%1" … in the texts
// stand for the port and the details; the commands to type follow on lines of their own.
inline constexpr int kMsgPortJoinGroup = 100;    // %1 port, %2 group, %3 user
inline constexpr int kMsgPortLogInAgain = 101;   // %1 port, %2 group, %3 user
inline constexpr int kMsgPortNoAccess = 102;     // %1 port, %2 owner, %3 group, %4 mode, %5 user
inline constexpr int kMsgPortBusy = 103;         // %1 port, %2 the programs that hold it
inline constexpr int kMsgPortBusyUnknown = 104;  // %1 port
inline constexpr int kMsgPortLatency = 105;      // %1 port, %2 milliseconds
inline constexpr int kMsgPortInUseMark = 140;    // the port list's mark: %1 the holders
// A command that the data set cannot serve (zrdctl): %1 the database file, %2 the parameter's
// mnemonic (141) or the status word's number (142).
inline constexpr int kMsgDataSetLacks = 141;
inline constexpr int kMsgDataSetLacksWord = 142;
// Action log: late answers of the drive dropped before a command (%1 how many).
inline constexpr int kMsgLogLateAnswers = 143;
// Reconnecting after the device went away (%1 the device): waiting for it (144), the drive back
// (145), the device back without a drive answering (146), or not opening (147, %2 why).
inline constexpr int kMsgReconnectWaiting = 144;
inline constexpr int kMsgReconnectBack = 145;
inline constexpr int kMsgReconnectNoDrive = 146;
inline constexpr int kMsgReconnectNotOpened = 147;
// The settings file: unreadable (%1 file, %2 where it was set aside), a value unusable (%1 file,
// %2 key), not writable (%1 file).
inline constexpr int kMsgSettingsBroken = 106;
inline constexpr int kMsgSettingsValue = 107;
inline constexpr int kMsgSettingsNotSaved = 108;
// The function generator: labels in current units (33, 34) and otherwise (35, 36), of the time
// fields (41, 42; the chirp's 81, 82) and the repeat count (43), the first unit button in
// position mode (44) and otherwise (45); the checks of "Write" (84 fraction, 46 limit); the
// chirp command (47 no answer, 48 refused); "Start FG" (76 not internal, 77 servo off, 78
// refused).
inline constexpr int kMsgAmplitudeAmperes = 33;
inline constexpr int kMsgOffsetAmperes = 34;
inline constexpr int kMsgAmplitude = 35;
inline constexpr int kMsgOffset = 36;
inline constexpr int kMsgPeriod = 41;
inline constexpr int kMsgWidth = 42;
inline constexpr int kMsgRepeat = 43;
inline constexpr int kMsgCountsPerMs = 44;
inline constexpr int kMsgRevPerMinute = 45;
inline constexpr int kMsgAmplitudeLimit = 46;
inline constexpr int kMsgChirpNoAnswer = 47;
inline constexpr int kMsgChirpRefused = 48;
inline constexpr int kMsgChirpStart = 81;
inline constexpr int kMsgChirpEnd = 82;
inline constexpr int kMsgAmplitudeWhole = 84;
inline constexpr int kMsgGeneratorNotInternal = 76;
inline constexpr int kMsgGeneratorServoOff = 77;
inline constexpr int kMsgGeneratorRefused = 78;
// The offline scope's status line: data read (39), waiting for the generator (65), record read
// (66), reading (69), and the record length "79 = seconds 80".
inline constexpr int kMsgDataRead = 39;
inline constexpr int kMsgWaitGenerator = 65;
inline constexpr int kMsgRecordRead = 66;
inline constexpr int kMsgReadingRecord = 69;
inline constexpr int kMsgRecordLength = 79;
inline constexpr int kMsgSeconds = 80;
// The service commands: the 0x6F frame not written (7), refused (8), done (9); the servo is on
// (40); the data area saved and the initialisation finished (72); the captions of the modes
// (18 speed, 73 position, 74 current); a command without an answer (109), refused (110), or
// answered with something that is no acknowledgement (111).
inline constexpr int kMsgEepromNotWritten = 7;
inline constexpr int kMsgEepromRefused = 8;
inline constexpr int kMsgEepromDone = 9;
inline constexpr int kMsgServoIsOn = 40;
inline constexpr int kMsgDataAreaSaved = 72;
inline constexpr int kMsgModeSpeed = 18;
inline constexpr int kMsgModePosition = 73;
inline constexpr int kMsgModeCurrent = 74;
inline constexpr int kMsgCommandNoAnswer = 109;
inline constexpr int kMsgCommandRefused = 110;
inline constexpr int kMsgCommandForeign = 111;
// The drive refused CALCPARA ("p" status 3).
inline constexpr int kMsgCalcParaRefused = 93;
// Exchanges that end because the drive fell silent: the status poll gave up after %1 polls, the
// online capture ended with %1 samples, the offline record with %1 of its samples.
inline constexpr int kMsgStatusPollSilent = 130;
inline constexpr int kMsgOnlineCaptureSilent = 131;
inline constexpr int kMsgOfflineRecordSilent = 132;
// The offline record ended because the port hung up, with %1 of its samples.
inline constexpr int kMsgOfflineRecordLineLost = 149;

}  // namespace zrd::params
