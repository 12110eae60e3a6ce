#pragma once

#include <QObject>
#include <memory>

#include "ui_test_support.h"

class ParamPagesTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void pagesAreBuiltPerGroup_data();
    void pagesAreBuiltPerGroup();
    void rowsShowTheRecord();
    void readOnlyParameterHasDisabledField();
    void valueFieldTakesOnlyNumberKeys();
    void editDialogIsFilledFromTheRow_data();
    void editDialogIsFilledFromTheRow();
    void editDialogWritesToTheDrive_data();
    void editDialogWritesToTheDrive();
    void readAllFillsPagesAndControls();
    void motorTypeIsSelectedAtStartUp();
    void writingMtAppliesTheMotorLine();
    void choosingAMotorOfflineChangesOnlyTheTable();
    void editDialogRefusesTextThatIsNoNumber();
    void editDialogOfflineOnlyCloses();
    void mousePressOnAValueOpensTheDialog();
    void editingAParameterNamedLikeDtLeavesTheDriveType();
    void editDialogWritesNothingOutsideTheLimits_data();
    void editDialogWritesNothingOutsideTheLimits();
    void readOnlyRowStaysReadOnlyAfterARead();
    void readAllShowsTheDrivesMotor();
    void pageMadeLateShowsWhatItWasGiven();

private:
    std::unique_ptr<zrd::test::ProgramFixture> m_fixture;
};
