// The progress window.
#include "app/FProgress.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrel {

namespace {

constexpr int kTextColumns = 48;  // the width of the window, in average characters

}  // namespace

TShowProgress::TShowProgress(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      LabelFile(new QLabel(this)),
      Label1(new QLabel(this)),
      ProgressBar1(new QProgressBar(this)),
      Button1(new QPushButton(tr("Cancel"), this)) {
    setWindowTitle(tr("Progress"));
    setObjectName(QStringLiteral("ShowProgress"));
    LabelFile->setObjectName(QStringLiteral("LabelFile"));
    Label1->setObjectName(QStringLiteral("Label1"));
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    Button1->setObjectName(QStringLiteral("Button1"));
    const int width = Label1->fontMetrics().averageCharWidth() * kTextColumns;
    LabelFile->setFixedWidth(width);
    LabelFile->setVisible(false);
    Label1->setMinimumWidth(width);
    QFont stage = Label1->font();
    stage.setBold(true);
    Label1->setFont(stage);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setFormat(QStringLiteral("%p%"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabelFile);
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

void TShowProgress::SetFileName(const std::string& fileName) {
    const QString name = QString::fromStdString(fileName);
    LabelFile->setToolTip(name);
    LabelFile->setText(LabelFile->fontMetrics().elidedText(
        tr("Input: %1").arg(name), Qt::ElideMiddle, LabelFile->maximumWidth()));
    LabelFile->setVisible(!name.isEmpty());
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
