// The progress window.
#include "app/FProgress.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrel {

TShowProgress::TShowProgress(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      Label1(new QLabel(this)),
      ProgressBar1(new QProgressBar(this)),
      Button1(new QPushButton(tr("Cancel"), this)) {
    setWindowTitle(tr("Progress"));
    setObjectName(QStringLiteral("ShowProgress"));
    Label1->setObjectName(QStringLiteral("Label1"));
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    Button1->setObjectName(QStringLiteral("Button1"));
    Label1->setMinimumWidth(Label1->fontMetrics().averageCharWidth() * 48);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ProgressBar1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed border
    connect(Button1, &QPushButton::clicked, this, &TShowProgress::Button1Click);
}

void TShowProgress::SetText(const std::string& text) {
    Label1->setText(QString::fromStdString(text));
    if (isVisible()) Label1->repaint();
}

void TShowProgress::SetPosition(int percent) {
    ProgressBar1->setValue(percent);
}

void TShowProgress::Show() {
    show();
}

void TShowProgress::Hide() {
    hide();
}

void TShowProgress::Button1Click() {
    FCancelled = true;
}

void TShowProgress::closeEvent(QCloseEvent* event) {
    event->ignore();  // no close button: only Cancel acts
}

void TShowProgress::reject() {
    Button1Click();
}

}  // namespace vantrel
