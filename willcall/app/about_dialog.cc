#include "willcall/app/about_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "okv/okv.h"
#include "tqpfs/tqpfs.h"
#include "willcall/messages.h"

namespace trk::willcall {
namespace {

QLineEdit* VersionField(const char* text, QWidget* parent) {
  auto* field = new QLineEdit(QString::fromUtf8(text), parent);
  field->setReadOnly(true);
  return field;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(caption::kAboutTitle);
  auto* versions = new QFormLayout;
  versions->addRow(caption::kAboutFileServer, VersionField(verTQTQPF, this));
  versions->addRow(caption::kAboutEngine, VersionField(verPWOKV, this));

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(caption::kOk, QDialogButtonBox::AcceptRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(caption::kAboutProgram, this));
  layout->addLayout(versions);
  layout->addWidget(buttons);
  setMinimumWidth(280);
}

}  // namespace trk::willcall
