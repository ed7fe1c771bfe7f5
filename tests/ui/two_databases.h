// The table manager on screen over two real database files made by the engine, with helpers to
// click its buttons, mark its list entries and read the files back.
#pragma once

#include "app/error_trap.h"
#include "app/settings_store.h"
#include "support/app/database_files.h"
#include "support/engine_files.h"
#include "support/process.h"

#include "program_harness.h"
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace ui {

class TwoDatabases : public ::testing::Test {
protected:
    // Starts the program over the two files as remembered; the table manager must come up.
    void start(const QString& password1 = {}, const QString& password2 = {}) {
        harness.remember(app::kAccessMDBFileKey, path1);
        harness.remember(app::kAccessPasswordKey, password1);
        harness.remember(app::kAccessMDBFile2Key, path2);
        harness.remember(app::kAccessPassword2Key, password2);
        harness.start();
        ASSERT_TRUE(harness.form2().isVisible()) << "the table manager did not come up";
    }

    // Replaces the file with a new database holding the named tables.
    static void remake(const std::filesystem::path& path, const std::vector<std::string>& tables,
                       const std::string& password = "") {
        std::filesystem::remove(path);
        support::makeDatabase(path, tables, password);
    }

    QListWidget& list(const char* name) { return harness.in2<QListWidget>(name); }
    void click(const char* button) {
        QTest::mouseClick(&harness.in2<QPushButton>(button), Qt::LeftButton);
    }
    // Marks the entries of the list with these texts.
    void select(const char* listName, const std::vector<QString>& texts) {
        for (const QString& text : texts) {
            const auto found = list(listName).findItems(text, Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1) << text.toStdString();
            found.front()->setSelected(true);
        }
    }
    // Clicks the entry as a user does: it becomes current, and its mark toggles.
    void clickEntry(const char* listName, const QString& text) {
        QListWidget& widget = list(listName);
        const auto found = widget.findItems(text, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        widget.scrollToItem(found.front());
        QTest::mouseClick(widget.viewport(), Qt::LeftButton, Qt::NoModifier,
                          widget.visualItemRect(found.front()).center());
    }
    std::vector<QString> entries(const char* listName) {
        std::vector<QString> texts;
        for (int row = 0; row < list(listName).count(); ++row) {
            texts.push_back(list(listName).item(row)->text());
        }
        return texts;
    }
    void setText(const char* box, const QString& text) {
        harness.in1<QLineEdit>(box).setText(text);
    }

    // The error report of a failed step.
    static app::MessageBoxRequest report(const QString& description, const char* location,
                                         int statement) {
        return {.text = app::errorReportText(description, QString::fromLatin1(location), statement),
                .title = QString::fromLatin1(app::kErrorReportTitle),
                .icon = app::MessageIcon::Exclamation};
    }
    static app::MessageBoxRequest overwrite(const QString& name) {
        return {.text = QStringLiteral("Would you like to overwrite ") + name + QLatin1Char('?'),
                .title = QStringLiteral("Overwrite?"),
                .buttons = app::MessageButtons::YesNo};
    }
    static app::MessageBoxRequest note(const QString& text) { return {.text = text}; }

    static std::string exported(const std::filesystem::path& path, const std::string& table) {
        const support::ProcessResult result =
            support::runProcess({"mdb-export", path.string(), table});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.out;
    }
    static std::string qs(const QString& text) { return text.toStdString(); }

    support::ProgramHarness harness;
    std::filesystem::path file1 = harness.folder / "one.mdb";
    std::filesystem::path file2 = harness.folder / "two.mdb";
    QString path1 = support::ProgramHarness::qpath(file1);
    QString path2 = support::ProgramHarness::qpath(file2);
};

}  // namespace ui
