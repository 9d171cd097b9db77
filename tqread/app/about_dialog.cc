#include "tqread/app/about_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "okv/okv.h"
#include "tqpfs/tqpfs.h"
#include "tqread/app/texts.h"
#include "tqread/tqread.h"

namespace trk::tqread::app {
namespace {

QLineEdit* VersionField(const char* version, QWidget* parent) {
  auto* field = new QLineEdit(QString::fromUtf8(version), parent);
  field->setReadOnly(true);
  return field;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(text::kAboutTitle);
  auto* versions = new QFormLayout;
  versions->addRow(text::kAboutFileServer, VersionField(verTQTQPF, this));
  versions->addRow(text::kAboutEngine, VersionField(verPWOKV, this));

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(text::kOk, QDialogButtonBox::AcceptRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromStdString(text::Fill(text::kAboutProgram, {verTQRead})), this));
  layout->addLayout(versions);
  layout->addWidget(buttons);
  setMinimumWidth(280);
}

}  // namespace trk::tqread::app
