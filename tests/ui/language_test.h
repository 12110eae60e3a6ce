#pragma once

#include <QObject>

class LanguageTest : public QObject {
    Q_OBJECT
private slots:
    void translationIntoRussianAndBackGivesTheDesignedTexts();
    void everyWindowFollowsTheSwitchWholeAndBack();
    void switchBringsTheProgramOver_data();
    void switchBringsTheProgramOver();
    void missingFileAtTheSwitchEndsTheProgram_data();
    void missingFileAtTheSwitchEndsTheProgram();
    void startsInRussianWhenTheDatabaseSaysSo();
    void filterCalculatorShowsItsCurvesAndFieldsWhole_data();
    void filterCalculatorShowsItsCurvesAndFieldsWhole();
};
