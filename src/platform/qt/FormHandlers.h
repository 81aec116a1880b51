// The main window's handlers as the on-screen form calls them. The program
// forwards each to TForm1; widget tests put a recorder in its place.
#pragma once

namespace tonefield {

class FormHandlers {
 public:
  virtual ~FormHandlers() = default;
  // Key codes are Windows virtual-key codes; a handler sets key to 0 to
  // consume the stroke.
  virtual void FormKeyDown(int& key) = 0;
  virtual void FormKeyUp(int& key) = 0;
  virtual void KeyButtonMouseDown(int key) = 0;
  virtual void KeyButtonMouseUp(int key) = 0;
  virtual void FormCloseQuery(bool& canClose) = 0;
  virtual void FormClose() = 0;
  virtual void Timer1Timer() = 0;
  virtual void btnOpenWaveClick() = 0;
  virtual void btnSaveClick() = 0;
  virtual void btnRecClick() = 0;
  virtual void btnInputVolumeClick() = 0;
  virtual void btnOutputVolumeClick() = 0;
  virtual void btnOpenScoreClick() = 0;
  virtual void btnPlayClick() = 0;
  virtual void btnRecordingClick() = 0;
  virtual void btnAboutClick() = 0;
  virtual void btnQuitClick() = 0;
  virtual void tbTempoChange() = 0;
  virtual void cbxSongChange() = 0;
  virtual void cbxSongExit() = 0;
};

}  // namespace tonefield
