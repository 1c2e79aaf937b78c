// The About window: the program's picture and name, what it does, where the method is
// described, where to read about EDF, whom to ask. At start-up the same window, cut to its
// picture, is the splash screen.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>

class QLabel;
class QPushButton;

namespace vantrel {

class TMySplashForm : public QDialog {
    Q_OBJECT

  public:
    enum class TMode {
        About,   // titled "About", with the texts and "Ok"; shown modally
        Splash,  // the picture alone, without border
    };
    explicit TMySplashForm(TMode mode, QWidget* parent = nullptr);

    // Image1Click: opens the link on the EDF format.
    void Image1Click();

    // The program's picture with its name over the lower part, drawn here so the program needs
    // no image file.
    static QPixmap Picture();

    // The link on the EDF format that the icon beside its line opens.
    static const char* const kEdfInfoLink;

    // The project's README that the window links to: beside the program, in an installed tree
    // or in the checkout holding the build folder. Empty when none is found.
    static QString ReadmePath();

  private:
    QWidget* BuildTexts();
};

}  // namespace vantrel
