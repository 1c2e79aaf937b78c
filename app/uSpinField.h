// A whole-number field with up and down arrows whose text is what counts: it may hold a number
// outside its limits or no number at all (the owner's change handler reports that), and the
// arrows step within the limits. The signal-number field of the main window.
#pragma once

#include <QAbstractSpinBox>

namespace vantrel {

class TSpinField : public QAbstractSpinBox {
    Q_OBJECT

  public:
    explicit TSpinField(QWidget* parent = nullptr);

    QString Text() const;
    // Writes the text without emitting TextChanged (the owner runs its handler itself).
    void SetTextSilently(const QString& text);
    int Minimum() const { return FMinimum; }
    int Maximum() const { return FMaximum; }
    void SetMinimum(int minimum) { FMinimum = minimum; }
    void SetMaximum(int maximum) { FMaximum = maximum; }

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

  signals:
    void TextChanged(const QString& text);

  protected:
    StepEnabled stepEnabled() const override;

  private:
    int FMinimum = 1;
    int FMaximum = 65535;
};

}  // namespace vantrel
