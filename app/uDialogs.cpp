// Message boxes and file dialogs of Qt Widgets.
#include "app/uDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace vantrel {

namespace {

// The system's messages use CR LF or CR between lines; a box wants line feeds.
QString BoxText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace

void TQtDialogs::Error(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QApplication::applicationDisplayName(), BoxText(text));
}

void TQtDialogs::Information(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::information(parent, title, BoxText(text));
}

bool TQtDialogs::Question(QWidget* parent, const QString& title, const QString& text,
                          bool defaultYes) {
    const auto answer =
        QMessageBox::question(parent, title, BoxText(text), QMessageBox::Yes | QMessageBox::No,
                              defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return answer == QMessageBox::Yes;
}

QString TQtDialogs::ChooseFile(QWidget* parent, const QString& start, const QString& filter,
                               bool mustExist) {
    if (mustExist) return QFileDialog::getOpenFileName(parent, QString(), start, filter);
    // A results file is usually new: any name may be typed; the overwrite question comes at
    // Start.
    return QFileDialog::getSaveFileName(parent, QString(), start, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

}  // namespace vantrel
