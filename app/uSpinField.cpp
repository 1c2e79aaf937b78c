// The whole-number field with arrows.
#include "app/uSpinField.h"

#include <QLineEdit>
#include <QSignalBlocker>
#include <algorithm>

namespace vantrel {

TSpinField::TSpinField(QWidget* parent) : QAbstractSpinBox(parent) {
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    lineEdit()->setText(QStringLiteral("1"));
    connect(lineEdit(), &QLineEdit::textChanged, this, &TSpinField::TextChanged);
}

QString TSpinField::Text() const {
    return lineEdit()->text();
}

void TSpinField::SetTextSilently(const QString& text) {
    const QSignalBlocker blocker(lineEdit());
    lineEdit()->setText(text);
}

void TSpinField::stepBy(int steps) {
    bool ok = false;
    const long long value = Text().trimmed().toLongLong(&ok);
    const long long next = ok ? value + steps : FMinimum;
    lineEdit()->setText(QString::number(std::clamp<long long>(next, FMinimum, FMaximum)));
    lineEdit()->selectAll();
}

QValidator::State TSpinField::validate(QString& input, int&) const {
    // Digits only while typing; whether the number fits is the handler's business.
    for (const QChar c : input)
        if (!c.isDigit() && c != QLatin1Char(' ')) return QValidator::Invalid;
    return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled TSpinField::stepEnabled() const {
    if (!isEnabled()) return StepNone;
    bool ok = false;
    const long long value = Text().trimmed().toLongLong(&ok);
    if (!ok) return StepUpEnabled | StepDownEnabled;
    StepEnabled enabled = StepNone;
    if (value < FMaximum) enabled |= StepUpEnabled;
    if (value > FMinimum) enabled |= StepDownEnabled;
    return enabled;
}

}  // namespace vantrel
