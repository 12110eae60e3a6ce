#pragma once

#include <QObject>

class ShellCoreTest : public QObject {
    Q_OBJECT
private slots:
    void unlockSequences_data();
    void unlockSequences();
    void sequencesDiffer();
    void serialNumberSplit_data();
    void serialNumberSplit();
    void cpuClass_data();
    void cpuClass();
    void cpuMeasurementIsPlausible();
    void outlineHolesStayInside();
    void dataDirOption_data();
    void dataDirOption();
    void valueTexts_data();
    void valueTexts();

    void functionLists_data();
    void functionLists();
    void longSubgroupOfGroup2SplitsInTwoPages();
    void pageNumbersCountAcrossSubgroups();
    void resumedGroup1SubgroupGetsAnEmptyPage();
    void fullGroup1PageSendsTheRestWithoutRow();
    void parametersWithoutRowStayOffThePages();
    void pageListStopsAt200();
    void appliedPlanSetsFramesAndDefaults();
};
