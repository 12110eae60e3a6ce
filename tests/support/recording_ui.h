#pragma once

#include <string>
#include <vector>

#include "core/user_interface.h"

namespace zrd::test {

// Records what the core tells the user, so tests can assert on it.
class RecordingUserInterface : public UserInterface {
public:
    struct Box {
        std::string caption;
        std::string text;
    };

    void showMessage(const std::string& caption, const std::string& text) override {
        boxes.push_back({caption, text});
    }
    void processEvents() override { ++eventPasses; }
    void waitMs(int ms) override { waits.push_back(ms); }
    void restoreIdleAfterTimeout() override { ++idleRestores; }
    void updatePageRow(int position, const std::string& text) override {
        rows.push_back({position, text});
    }

    struct Row {
        int position;
        std::string text;
    };

    std::vector<Box> boxes;
    std::vector<int> waits;
    std::vector<Row> rows;
    int eventPasses = 0;
    int idleRestores = 0;
};

}  // namespace zrd::test
