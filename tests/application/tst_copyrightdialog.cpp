// The About dialog: its form, the product line with version, revision and build, this project's
// copyright, and a licence text for every open-source component the program links.

#include "application/CopyrightDialog.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QtTest>

using Thg::Tilo::Components::CopyrightDialog;

class TestCopyrightDialog : public QObject {
    Q_OBJECT
private slots:
    void form_hasTheNamesSizeAndTitle();
    void application_namesVersionRevisionAndBuild();
    void texts_copyrightAndNotice();
    void licences_coverEveryLinkedComponent_data();
    void licences_coverEveryLinkedComponent();
};

void TestCopyrightDialog::form_hasTheNamesSizeAndTitle()
{
    CopyrightDialog dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("CopyrightDialog"));
    QCOMPARE(dialog.size(), QSize(404, 300));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About ZEB-Conduit"));
    const QStringList names{"application", "copyright", "licenceLabel"};
    for (const QString &name : names)
        QVERIFY2(dialog.findChild<QLabel *>(name), qPrintable(name));
    auto *licenses = dialog.findChild<QPlainTextEdit *>("licenses");
    QVERIFY(licenses);
    QVERIFY(licenses->isReadOnly());
}

void TestCopyrightDialog::application_namesVersionRevisionAndBuild()
{
    CopyrightDialog dialog;
    auto *application = dialog.findChild<QLabel *>("application");
    QVERIFY2(QRegularExpression(QStringLiteral("^ZEB-Conduit V1\\.6\\.0-([0-9a-f]{8}|unknown) \\(260728\\)$"))
                 .match(application->text())
                 .hasMatch(),
             qPrintable(application->text()));
    QCOMPARE(application->font().weight(), QFont::Bold);
    QCOMPARE(application->alignment(), Qt::AlignCenter);
}

void TestCopyrightDialog::texts_copyrightAndNotice()
{
    CopyrightDialog dialog;
    QVERIFY(dialog.findChild<QLabel *>("copyright")->text().contains(QString::fromUtf8("© 2026 the ZEB-Conduit developers")));
    QCOMPARE(dialog.findChild<QLabel *>("licenceLabel")->text(),
             QStringLiteral("This software uses the following open-source components:"));
}

void TestCopyrightDialog::licences_coverEveryLinkedComponent_data()
{
    QTest::addColumn<QString>("component");
    QTest::addColumn<QString>("licence");
    QTest::newRow("Qt") << "Qt 6 (Core, Gui, Widgets)" << "LGPL-3";
    QTest::newRow("Qt Serial Port") << "Qt 6 Serial Port" << "LGPL-3";
    QTest::newRow("Qt Bluetooth") << "Qt 6 Bluetooth" << "LGPL-3";
    QTest::newRow("spdlog") << "spdlog" << "Expat";
    QTest::newRow("fmt") << "{fmt}" << "Expat";
    QTest::newRow("nlohmann-json") << "JSON for Modern C++ (nlohmann-json)" << "Expat";
    QTest::newRow("valijson") << "valijson" << "BSD-2clause";
    QTest::newRow("GCC runtime") << "GCC runtime (libstdc++, libgcc)" << "GCC RUNTIME LIBRARY EXCEPTION";
}

void TestCopyrightDialog::licences_coverEveryLinkedComponent()
{
    QFETCH(QString, component);
    QFETCH(QString, licence);
    CopyrightDialog dialog;
    const QString text = dialog.findChild<QPlainTextEdit *>("licenses")->toPlainText();
    const QString header = QStringLiteral("==== %1 ====").arg(component);
    const qsizetype start = text.indexOf(header);
    QVERIFY2(start >= 0, qPrintable(header));
    qsizetype end = text.indexOf(QStringLiteral("\n==== "), start + header.size());
    if (end < 0)
        end = text.size();
    const QString section = text.mid(start, end - start);
    QVERIFY2(section.contains(licence, Qt::CaseInsensitive), qPrintable(section.left(400)));
}

QTEST_MAIN(TestCopyrightDialog)
#include "tst_copyrightdialog.moc"
