#include "ui/program.h"

#include <QCoreApplication>

namespace ui {

Program::Program(const Services& services)
    : m_services(services),
      m_form1(std::make_unique<Form1>(Form1::Services{.boxes = services.boxes,
                                                      .factory = services.factory,
                                                      .lists = *this,
                                                      .globals = m_globals,
                                                      .random = services.random,
                                                      .opener = services.opener})) {
    connect(m_form1.get(), &Form1::tableManagerWanted, this, [this] { form2().show(); });
    connect(m_form1.get(), &Form1::unloaded, this, &Program::end);
}

Program::~Program() = default;

void Program::start() {
    m_form1->Form_Load();
    if (m_form2 == nullptr || !m_form2->isVisible()) {
        m_form1->show();
    }
}

Form2& Program::form2() {
    if (m_form2 == nullptr) {
        m_form2 = std::make_unique<Form2>(
            db::Session{m_services.boxes, m_services.factory, *m_form1, *this, m_globals});
        connect(m_form2.get(), &Form2::selectionWindowWanted, this, [this] { m_form1->show(); });
        connect(m_form2.get(), &Form2::unloaded, this, &Program::end);
    }
    return *m_form2;
}

void Program::end() {
    m_form1->hide();
    if (m_form2 != nullptr) {
        m_form2->hide();
    }
    QCoreApplication::exit(0);
}

}  // namespace ui
