#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "formula/formula.h"
#include "recording_ui.h"

namespace zrd::formula {

// Answers the questions for parameter values from a script (nullopt: the user cancels) and
// records what was asked.
class ScriptedAnswers : public test::RecordingUserInterface {
public:
    struct Question {
        std::string title;
        std::string prompt;
        std::string preset;
    };

    explicit ScriptedAnswers(std::deque<std::optional<std::string>> answers)
        : m_answers(std::move(answers)) {}

    std::optional<std::string> askText(const std::string& title, const std::string& prompt,
                                       const std::string& preset) override {
        questions.push_back({title, prompt, preset});
        if (m_answers.empty())
            return preset;
        auto a = m_answers.front();
        m_answers.pop_front();
        return a;
    }

    std::vector<Question> questions;

private:
    std::deque<std::optional<std::string>> m_answers;
};

// The postfix items joined by blanks.
inline std::string joined(const PostfixList& list) {
    std::string out;
    for (const auto& item : list)
        out += (out.empty() ? "" : " ") + item;
    return out;
}

inline PostfixList convert(std::string_view text, const ParameterSource& params) {
    PostfixList list;
    ParseString(text, list, params);
    return list;
}

// A readable test name from a case's formula text: letters, digits and operator words.
template <class Case>
std::string caseName(const testing::TestParamInfo<Case>& info) {
    static const std::pair<char, const char*> kWords[] = {
        {'+', "plus"}, {'-', "minus"}, {'*', "times"}, {'/', "by"},  {'^', "pow"}, {'<', "lt"},
        {'>', "gt"},   {'=', "eq"},    {'|', "bar"},   {'!', "not"}, {'.', "dot"}};
    std::string name = "Case" + std::to_string(info.index);
    const auto separate = [&name] {
        if (name.back() != '_')
            name += '_';
    };
    separate();
    for (const char c : std::string_view(info.param.text).substr(0, 40)) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            name += c;
            continue;
        }
        separate();
        for (const auto& [op, word] : kWords)
            if (c == op)
                name += std::string(word) + "_";
    }
    while (name.back() == '_')
        name.pop_back();
    return name;
}

inline const ParameterList& noParameters() {
    static const ParameterList kNone;
    return kNone;
}

}  // namespace zrd::formula
