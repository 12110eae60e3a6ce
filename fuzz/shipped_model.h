#pragma once

// The shipped parameter database, loaded once for the fuzz targets whose input refers to it.

#include <string>

#include "params/database_loader.h"

namespace zrd::fuzz {

inline const params::ParameterModel& shippedModel() {
    static const params::ParameterModel model = [] {
        params::ParameterModel m;
        SilentUserInterface ui;
        const params::MessageTable messages;
        (void)params::loadDatabase(std::string(ZRD_SHIPPED_DATA_DIR) + "/Param_base.mod", m,
                                   messages, ui, false);
        return m;
    }();
    return model;
}

}  // namespace zrd::fuzz
