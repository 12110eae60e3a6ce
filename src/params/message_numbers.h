#pragma once

namespace zrd::params {

// Numbers of the message table entries that the parameter model and the parameter access use.
inline constexpr int kMsgCaption = 0;
inline constexpr int kMsgBadDatabaseLine = 1;
inline constexpr int kMsgNoDatabase = 3;
inline constexpr int kMsgNoReply = 38;
inline constexpr int kMsgStatusPage = 56;
inline constexpr int kMsgApplicationPage = 57;
inline constexpr int kMsgNoScopeSignal = 86;
inline constexpr int kMsgChooseScopeSignal = 87;
inline constexpr int kMsgRefused = 88;

}  // namespace zrd::params
