// The error trap of the program's working procedures, and the report it shows.
//
// A trapped procedure runs its statements one by one, each under its statement number (100, 102,
// 104, ...; a line holding two statements runs both under one number). When a statement fails -
// it throws, itself or from any routine it calls - the failure is reported in the "Application
// Error" box with the procedure's location text and the statement's number, and the procedure
// goes on with its next statement: the failed statement is not retried and whatever it was to
// produce stays absent. A failing test of a conditional counts as passed, so the statements it
// guards run. No failure leaves a trapped procedure.
//
//     TrappedProcedure procedure(boxes, location::kForm1PushButton2Click);
//     if (procedure.test(100, [&] { return FileExists(path1()); })) {
//         procedure.step(104, [&] { ... });
//         procedure.step(106, [&] { ... });
//     } else {
//         procedure.step(118, [&] { ... });
//     }
#pragma once

#include "app/modal_boxes.h"

#include <QString>

#include <utility>

namespace app {

inline constexpr char kErrorReportTitle[] = "Application Error";
// Where the last line of the report asks users to send a screenshot.
inline constexpr char kSupportAddress[] = "support@quillmere.example";

// The report's text: the description, CR LF, the location text, "at line " and the number, two
// CRs, and the request to mail a screenshot to the support address.
QString errorReportText(const QString& description, const QString& location, int statement);

// Shows the report (exclamation icon, OK only, titled "Application Error") and returns when the
// user has confirmed it. The only way the program shows this box.
void reportError(ModalBoxes& boxes, const QString& description, const QString& location,
                 int statement);

class TrappedProcedure {
public:
    // location: the procedure's location text (see error_locations.h).
    TrappedProcedure(ModalBoxes& boxes, QString location);
    TrappedProcedure(const TrappedProcedure&) = delete;
    TrappedProcedure& operator=(const TrappedProcedure&) = delete;

    // Runs one numbered statement; a failure is reported under its number.
    template <typename Statement>
    void step(int statement, Statement&& action) {
        m_statement = statement;
        try {
            std::forward<Statement>(action)();
        } catch (...) {
            reportCurrentFailure();
        }
    }

    // Runs the numbered test of a conditional and returns its outcome. A test that fails is
    // reported and yields true, so the guarded statements run as if it had passed.
    template <typename Condition>
    bool test(int statement, Condition&& condition) {
        m_statement = statement;
        try {
            return static_cast<bool>(std::forward<Condition>(condition)());
        } catch (...) {
            reportCurrentFailure();
            return true;
        }
    }

private:
    // REQUIRES: called inside a catch block.
    void reportCurrentFailure();

    ModalBoxes& m_boxes;
    QString m_location;
    int m_statement = 0;  // the number of the statement running now
};

}  // namespace app
