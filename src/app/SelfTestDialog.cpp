#include "app/SelfTestDialog.h"

#include "records/AtomicFile.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarvio {

SelfTestDialog::SelfTestDialog(QWidget* parent, SelfTestReport report)
    : QDialog(parent), report_(std::move(report)), text_(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("frmSelfTest"));
    setWindowTitle(QStringLiteral("Interface Self-Test"));
    setAttribute(Qt::WA_DeleteOnClose);
    text_->setObjectName(QStringLiteral("memReport"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setPlainText(QString::fromStdString(reportText(report_)));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* save =
        buttons->addButton(QStringLiteral("Save Report..."), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("btnSaveReport"));
    connect(save, &QPushButton::clicked, this, [this] { this->save(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(buttons);
    resize(900, 560);
}

void SelfTestDialog::save() {
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Self-Test Report"), QStringLiteral("selftest.txt"),
        QStringLiteral("Text (*.txt);;JSON (*.json)"));
    if (path.isEmpty())
        return;
    const std::string file = path.toStdString();
    const bool json = path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive);
    const SaveResult saved =
        writeFileAtomically(file, json ? reportJson(report_).dump(2) + "\n" : reportText(report_));
    if (!saved)
        QMessageBox::warning(this, QStringLiteral("Interface Self-Test"),
                             QString::fromStdString("The report was not saved: " + saved.error));
}

} // namespace tarvio
