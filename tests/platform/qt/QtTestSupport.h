// Helpers of the widget tests: a recorder in place of the core's handlers
// and the key placement the core performs at start-up.
#pragma once

#include <QKeyEvent>
#include <functional>
#include <string>
#include <vector>

#include "app/View.h"
#include "platform/qt/WindowHandlers.h"

namespace tonefield::testing {

class RecordingHandlers : public WindowHandlers {
 public:
  void OnKeyDown(int& key) override {
    keyDowns.push_back(key);
    if (consumeKeyDown && consumeKeyDown(key)) key = 0;
  }
  void OnKeyUp(int& key) override {
    keyUps.push_back(key);
    if (consumeKeyUp) key = 0;
  }
  void OnKeyButtonDown(int key) override { log.push_back("down " + std::to_string(key)); }
  void OnKeyButtonUp(int key) override { log.push_back("up " + std::to_string(key)); }
  void OnCloseRequested(bool& canClose) override {
    log.push_back("closeQuery");
    canClose = allowClose;
  }
  void Shutdown() override { log.push_back("close"); }
  void OnTimerTick() override { ++ticks; }
  void OnOpenWaveClicked() override { log.push_back("openWaveButton"); }
  void OnSaveSampleClicked() override { log.push_back("saveSampleButton"); }
  void OnRecordSampleClicked() override { log.push_back("recordSampleButton"); }
  void OnInputVolumeClicked() override { log.push_back("inputVolumeButton"); }
  void OnOutputVolumeClicked() override { log.push_back("outputVolumeButton"); }
  void OnOpenScoreClicked() override { log.push_back("openScoreButton"); }
  void OnPlayClicked() override { log.push_back("playButton"); }
  void OnRecordPerformanceClicked() override { log.push_back("recordPerformanceButton"); }
  void OnAboutClicked() override { log.push_back("aboutButton"); }
  void OnQuitClicked() override { log.push_back("quitButton"); }
  void OnTempoChanged() override { log.push_back("tempoBar"); }
  void OnSongChanged() override {
    log.push_back("OnSongChanged");
    if (onSongChange) onSongChange();
  }
  void OnSongListLeft() override {
    log.push_back("OnSongListLeft");
    if (onSongExit) onSongExit();
  }

  std::vector<int> keyDowns, keyUps;
  std::vector<std::string> log;
  std::function<bool(int)> consumeKeyDown;
  std::function<void()> onSongChange;
  std::function<void()> onSongExit;
  bool consumeKeyUp = true;
  bool allowClose = true;
  int ticks = 0;
};

// The 36 keys as start-up lays them out under a panel of the given height.
inline std::vector<KeyButtonSpec> PianoKeys(int panelHeight) {
  static const char* const kLabels[36] = {"Z", "S", "X", "D", "C", "V", "G", "B", "H", "N", "J", "M",
                                          ",", "L", ".", ";", "/", "Q", "2", "W", "3", "E", "4", "R",
                                          "T", "6", "Y", "7", "U", "I", "9", "O", "0", "P", "-", "@"};
  static const bool kBlack[12] = {false, true, false, true, false, false, true, false, true, false, true, false};
  std::vector<KeyButtonSpec> keys;
  int x = 0;
  for (int k = 0; k < 36; ++k) {
    KeyButtonSpec s;
    s.key = k;
    s.top = panelHeight;
    s.black = kBlack[k % 12];
    s.caption = kLabels[k];
    if (s.black) {
      s.colour = kColourBlack, s.fontColour = kColourWhite, s.height = 85, s.width = 26, s.left = x + 2;
    } else {
      s.colour = kColourWhite, s.fontColour = kColourBlack, s.height = 150, s.width = 30, s.left = x;
    }
    x += (k % 12 == 4 || k % 12 == 11) ? 30 : 15;
    keys.push_back(s);
  }
  return keys;
}

// A key event as a real keyboard delivers it: with a native scan code and
// the auto-repeat flag, which QTest's helpers cannot set.
inline QKeyEvent KeyEvent(QEvent::Type type, int qtKey, quint32 scanCode, bool autoRepeat, const QString& text = {}) {
  return QKeyEvent(type, qtKey, Qt::NoModifier, scanCode, 0, 0, text, autoRepeat);
}

}  // namespace tonefield::testing
