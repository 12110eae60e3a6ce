#pragma once

#include <memory>
#include <string>
#include <vector>

#include "params/message_table.h"
#include "params/parameter_table.h"
#include "temp_dir.h"

namespace zrd::test {

// A parameter line: key=Pname,Index,vType,pType,MinVal,MaxVal,scale,units_rus,units_eng,
// DefValue,EngName,RusName,Mode_mes,update_con,IndexGroup.
struct ParamFields {
    std::string key = "P1";
    std::string name = "X";
    std::string index = "1";
    std::string vType = "UINT";
    std::string pType = "R-W";
    std::string minVal = "0";
    std::string maxVal = "100";
    std::string scale = "1";
    std::string unitsRus = "ед";
    std::string unitsEng = "u";
    std::string defValue = "0";
    std::string engName = "Eng X";
    std::string rusName = "Рус X";
    std::string modeMes = "0";
    std::string updateCon = "0";
    std::string indexGroup = "1";

    [[nodiscard]] std::string line() const {
        return key + "=" + name + "," + index + "," + vType + "," + pType + "," + minVal + "," +
               maxVal + "," + scale + "," + unitsRus + "," + unitsEng + "," + defValue + "," +
               engName + "," + rusName + "," + modeMes + "," + updateCon + "," + indexGroup;
    }
};

// A parameter line from its main fields; descriptions follow the name.
inline ParamFields fields(const std::string& key, const std::string& name, int index,
                          const std::string& vType, const std::string& pType, int minVal,
                          int maxVal, const std::string& scale, int defValue) {
    ParamFields s;
    s.key = key;
    s.name = name;
    s.index = std::to_string(index);
    s.vType = vType;
    s.pType = pType;
    s.minVal = std::to_string(minVal);
    s.maxVal = std::to_string(maxVal);
    s.scale = scale;
    s.defValue = std::to_string(defValue);
    s.engName = name + " eng";
    s.rusName = name + " рус";
    return s;
}

// Header, language line, then the given lines.
inline std::vector<std::string> database(const std::vector<std::string>& body,
                                         const std::string& language = "Eng") {
    std::vector<std::string> lines{"; database of a test drive", "Language=" + language};
    lines.insert(lines.end(), body.begin(), body.end());
    return lines;
}

inline std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines)
        text += l + "\r\n";
    return text;
}

// A message file (UTF-8 with its mark) whose message n reads "E<n>" / "R<n>", with a few
// real texts.
inline std::string messageFile() {
    std::string text = "\xEF\xBB\xBF";
    for (int n = 0; n < params::kMessageCount; ++n) {
        std::string eng = "E" + std::to_string(n);
        std::string rus = "R" + std::to_string(n);
        if (n == 0)
            eng = "Attention", rus = "Внимание";
        if (n == 1)
            eng = "Bad line: ", rus = "Ошибка в строке: ";
        if (n == 38)
            eng = ": no answer", rus = ": нет ответа";
        if (n == 86)
            eng = "No signal", rus = "Нет сигнала";
        if (n == 88)
            eng = ": refused", rus = ": отказ";
        text += "m" + std::to_string(n) + ":" + eng + "=" + rus + "\n";
    }
    return text;
}

inline std::unique_ptr<params::MessageTable> loadMessages(const TempDir& dir, UserInterface& ui) {
    auto table = std::make_unique<params::MessageTable>();
    table->load(dir.write("mess.dic", messageFile()), ui);
    return table;
}

}  // namespace zrd::test
