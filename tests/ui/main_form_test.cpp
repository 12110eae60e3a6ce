#include <QtTest>

#include "app/main_form.h"

class MainFormTest : public QObject {
    Q_OBJECT
private slots:
    void showsTheProgramCaption() {
        zrd::app::TMainForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.windowTitle(), QString("QX Torvanta v2.1 (ZRD)"));
        QCOMPARE(form.size(), QSize(1054, 730));
    }
};

QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
