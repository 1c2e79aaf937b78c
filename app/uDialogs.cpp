// Message boxes and file dialogs of Qt Widgets.
#include "app/uDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace vantrel {

namespace {

// The system's messages use CR LF or CR between lines; a box wants line feeds.
QString BoxText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString FirstFilter(const QString& filter) {
    return filter.section(QStringLiteral(";;"), 0, 0);
}

// A name without an extension gets the first extension of the selected filter; a dot in a
// folder's name is no extension of the file.
QString AddFilterSuffix(const QString& fileName, const QString& selectedFilter) {
    const QString name = fileName.section(QLatin1Char('/'), -1);
    if (name.isEmpty() || name.contains(QLatin1Char('.'))) return fileName;
    static const QRegularExpression pattern(QStringLiteral("\\*\\.(\\w+)"));
    const QRegularExpressionMatch match = pattern.match(selectedFilter);
    if (!match.hasMatch()) return fileName;
    return fileName + QLatin1Char('.') + match.captured(1);
}

}  // namespace

void TQtDialogs::Error(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QApplication::applicationDisplayName(), BoxText(text));
}

void TQtDialogs::Information(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::information(parent, title, BoxText(text));
}

void TQtDialogs::Listing(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Information, title, QString(), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::RichText);
    box.setText(QStringLiteral("<pre>") + BoxText(text).toHtmlEscaped() + QStringLiteral("</pre>"));
    box.exec();
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
    // The dialogs open on the first filter whatever the start name's extension is.
    QString selected = FirstFilter(filter);
    if (mustExist) return QFileDialog::getOpenFileName(parent, QString(), start, filter, &selected);
    // A results file is usually new: any name may be typed; the overwrite question comes at
    // Start.
    const QString name = QFileDialog::getSaveFileName(parent, QString(), start, filter, &selected,
                                                      QFileDialog::DontConfirmOverwrite);
    return name.isEmpty() ? name : AddFilterSuffix(name, selected);
}

}  // namespace vantrel
