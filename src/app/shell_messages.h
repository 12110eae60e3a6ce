#pragma once

namespace zrd::app {

// Numbers of the message table entries the shell shows.
inline constexpr int kMsgCaption = 0;
inline constexpr int kMsgNoDatabase = 3;
inline constexpr int kMsgDatabaseFailed = 4;
inline constexpr int kMsgMinimum = 14;
inline constexpr int kMsgMaximum = 15;
inline constexpr int kMsgDefault = 16;
// Captions of the status fields Control .. Error, in this order.
inline constexpr int kMsgFirstStatusCaption = 18;
inline constexpr int kMsgLastStatusCaption = 24;
inline constexpr int kMsgOffline = 29;
inline constexpr int kMsgWarningCaption = 95;

}  // namespace zrd::app
