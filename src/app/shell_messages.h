#pragma once

#include "params/message_numbers.h"

namespace zrd::app {

// Numbers of the message table entries the shell shows.
using params::kMsgCaption;
using params::kMsgDatabaseFailed;
using params::kMsgDefault;
using params::kMsgFirstStatusCaption;
using params::kMsgLastStatusCaption;
using params::kMsgMaximum;
using params::kMsgMinimum;
using params::kMsgNoDatabase;
using params::kMsgOfflineDetail;
using params::kMsgWarningCaption;

}  // namespace zrd::app
