#include "platform/qt/SettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "midi/MidiInterpreter.h"

namespace tonefield {

namespace {

// The system's default first (empty name), then every device; a saved
// device that is not there now stays choosable, marked as missing.
QComboBox* DeviceBox(const std::vector<std::string>& names, const std::string& current, QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->addItem(QStringLiteral("既定のデバイス"), QString());
  for (const std::string& name : names) box->addItem(QString::fromStdString(name), QString::fromStdString(name));
  if (!current.empty()) {
    int index = box->findData(QString::fromStdString(current));
    if (index < 0) {
      box->addItem(QString::fromStdString(current) + QStringLiteral("（見つかりません）"), QString::fromStdString(current));
      index = box->count() - 1;
    }
    box->setCurrentIndex(index);
  }
  return box;
}

}  // namespace

SettingsDialog::SettingsDialog(const LaunchOptions& current, const std::vector<std::string>& outputDevices,
                               const std::vector<std::string>& inputDevices, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("settingsDialog"));
  setWindowTitle(QStringLiteral("設定"));
  auto* form = new QFormLayout;
  outputDevice_ = DeviceBox(outputDevices, current.outputDevice, this);
  outputDevice_->setObjectName(QStringLiteral("outputDevice"));
  inputDevice_ = DeviceBox(inputDevices, current.inputDevice, this);
  inputDevice_->setObjectName(QStringLiteral("inputDevice"));

  buffer_ = new QComboBox(this);
  buffer_->setObjectName(QStringLiteral("buffer"));
  for (int samples : kBufferChoices) {
    buffer_->addItem(samples == 0 ? QStringLiteral("自動（約5ミリ秒）") : QStringLiteral("%1 サンプル").arg(samples), samples);
  }
  if (current.bufferSamples != 0 && buffer_->findData(int(current.bufferSamples)) < 0) {
    buffer_->addItem(QStringLiteral("%1 サンプル").arg(current.bufferSamples), int(current.bufferSamples));
  }
  buffer_->setCurrentIndex(buffer_->findData(int(current.bufferSamples)));

  midiApi_ = new QComboBox(this);
  midiApi_->setObjectName(QStringLiteral("midiApi"));
  midiApi_->addItem(QStringLiteral("既定"), int(MidiApi::Default));
#ifdef _WIN32
  const MidiApi apis[] = {MidiApi::WinMM, MidiApi::None};
#else
  const MidiApi apis[] = {MidiApi::Alsa, MidiApi::Jack, MidiApi::None};
#endif
  for (MidiApi api : apis) {
    midiApi_->addItem(api == MidiApi::None ? QStringLiteral("使わない") : QString::fromLatin1(MidiApiName(api)), int(api));
  }
  midiApi_->setCurrentIndex(std::max(0, midiApi_->findData(int(current.midiApi))));

  midiTranspose_ = new QSpinBox(this);
  midiTranspose_->setObjectName(QStringLiteral("midiTranspose"));
  midiTranspose_->setRange(-kMidiMaxTranspose, kMidiMaxTranspose);
  midiTranspose_->setSuffix(QStringLiteral(" 半音"));
  midiTranspose_->setValue(current.midiTranspose);
  midiVelocity_ = new QCheckBox(QStringLiteral("打鍵の強さで鳴らす"), this);
  midiVelocity_->setObjectName(QStringLiteral("midiVelocity"));
  midiVelocity_->setChecked(current.midiVelocity);

  midiChannel_ = new QSpinBox(this);
  midiChannel_->setObjectName(QStringLiteral("midiChannel"));
  midiChannel_->setRange(0, 16);
  midiChannel_->setSpecialValueText(QStringLiteral("すべて"));
  midiChannel_->setValue(current.midiChannel);
  midiAutoConnect_ = new QCheckBox(QStringLiteral("MIDI機器をつないだらすぐ使う"), this);
  midiAutoConnect_->setObjectName(QStringLiteral("midiAutoConnect"));
  midiAutoConnect_->setChecked(current.midiAutoConnect);

  form->addRow(QStringLiteral("出力デバイス"), outputDevice_);
  form->addRow(QStringLiteral("入力デバイス"), inputDevice_);
  form->addRow(QStringLiteral("バッファ"), buffer_);
  form->addRow(QStringLiteral("MIDIシステム"), midiApi_);
  form->addRow(QStringLiteral("MIDIの移調"), midiTranspose_);
  form->addRow(QStringLiteral("MIDIの強弱"), midiVelocity_);
  form->addRow(QStringLiteral("MIDIチャンネル"), midiChannel_);
  form->addRow(QStringLiteral("MIDI入力の接続"), midiAutoConnect_);

  auto* note = new QLabel(QStringLiteral("設定はOKですぐに使われます（入力デバイスは次の音声録音から）。\n"
                                         "コマンドラインのオプションはその回だけ設定より優先されます。"),
                          this);
  note->setObjectName(QStringLiteral("settingsNote"));
  note->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(note);
  layout->addWidget(buttons);
}

LaunchOptions SettingsDialog::Chosen() const {
  LaunchOptions chosen;
  chosen.outputDevice = outputDevice_->currentData().toString().toStdString();
  chosen.inputDevice = inputDevice_->currentData().toString().toStdString();
  chosen.bufferSamples = static_cast<std::uint32_t>(buffer_->currentData().toInt());
  chosen.midiApi = static_cast<MidiApi>(midiApi_->currentData().toInt());
  chosen.midiTranspose = midiTranspose_->value();
  chosen.midiVelocity = midiVelocity_->isChecked();
  chosen.midiChannel = midiChannel_->value();
  chosen.midiAutoConnect = midiAutoConnect_->isChecked();
  return chosen;
}

}  // namespace tonefield
