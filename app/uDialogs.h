// The dialogs the shell shows a person: message boxes and file dialogs. The windows ask through
// TDialogs so that tests answer in place of a person and never block.
#pragma once

#include <QString>

class QWidget;

namespace vantrel {

class TDialogs {
  public:
    virtual ~TDialogs() = default;
    // An error box with one OK button.
    virtual void Error(QWidget* parent, const QString& text) = 0;
    // An information box with one OK button.
    virtual void Information(QWidget* parent, const QString& title, const QString& text) = 0;
    // An information box whose text is laid out in columns with blanks (the usage text): shown
    // in a fixed-width font so that the columns line up.
    virtual void Listing(QWidget* parent, const QString& title, const QString& text) = 0;
    // A question box with Yes and No; true for Yes. defaultYes chooses the default button.
    virtual bool Question(QWidget* parent, const QString& title, const QString& text,
                          bool defaultYes) = 0;
    // A file dialog starting from `start`, with the first filter of `filter` selected; the
    // chosen name, or empty when cancelled. An existing file must be chosen for an input. Any
    // name may be typed for a results file; one typed without an extension gets the first
    // extension of the selected filter ("night24" with "Corvane files (*.cvn *.CVN)" gives
    // "night24.cvn", with "All files (*)" stays "night24").
    virtual QString ChooseFile(QWidget* parent, const QString& start, const QString& filter,
                               bool mustExist) = 0;
};

// The dialogs of Qt Widgets, for a person.
class TQtDialogs : public TDialogs {
  public:
    void Error(QWidget* parent, const QString& text) override;
    void Information(QWidget* parent, const QString& title, const QString& text) override;
    void Listing(QWidget* parent, const QString& title, const QString& text) override;
    bool Question(QWidget* parent, const QString& title, const QString& text,
                  bool defaultYes) override;
    QString ChooseFile(QWidget* parent, const QString& start, const QString& filter,
                       bool mustExist) override;
};

}  // namespace vantrel
