// The button-assignment dialog: sets one button of one profile to a key
// combination, a macro, a media key, a shortcut or an emoji, and stores the
// row itself when the user confirms. A key combination's key is captured from
// raw keyboard input after a click into the key field; its modifiers come
// from four check boxes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "database/profile_database.h"
#include "database/records.h"
#include "uikit/uikit.h"

class ProfileDatabase;
class RawInputRecorder;

class MouseKeyConfigDlg : public MDialog {
 public:
  // `profile` 1..5, `button` the UI button 1..8, `kind` 22, 23, 25, 26 or 27.
  MouseKeyConfigDlg(ProfileDatabase& db, int profile, int button, int kind);
  ~MouseKeyConfigDlg() override;

  const char* GetClassName() const override { return "MouseKeyConfigDlg"; }

  // Creates the dialog centred on the screen (400 x 260, 600 x 650 for the
  // emoji picker) and runs it until OK or close: 1 confirmed, 2 cancelled.
  int DoModal(HWND parent);

  LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int OnInitDialog() override;
  void InitUI(const CRect& client) override;
  int UISize(const CRect& client) override;
  int OnMessage(int controlId, int eventCode, LPARAM param, LPARAM extra) override;
  // Only destroys the window.
  virtual void CloseDialog();

  // The controls of the kind in the kind combo; refills the item combo.
  void ShowKindControls();
  // Key field 35: gaining focus by a click starts a capture, losing it ends it.
  void OnKeyFieldFocus(int eventCode);
  // WM_INPUT while a capture runs.
  void OnRawKeyInput(LPARAM handle);
  // Stores the controls' assignment and ends the dialog with OK.
  void OnOK();
  // Stores `row` for this dialog's profile and button; the new row id or 0.
  int SaveAssignment(KeyAssignment row, StoreWrite* wrote = nullptr);
  // Called when OK met a store that did not take the row, with the cause.
  std::function<void(StoreWrite)> onStoreRefused;

  CArea* headingBand = nullptr;        // 30
  MText* heading = nullptr;            // 31
  CImageButton* closeButton = nullptr; // 32
  MComboBox* kindCombo = nullptr;      // 33, never placed
  MComboBox* itemCombo = nullptr;      // 34
  MEdit* keyField = nullptr;           // 35
  CCheckButton* shiftBox = nullptr;    // 36
  CCheckButton* ctrlBox = nullptr;     // 37
  CCheckButton* winBox = nullptr;      // 38
  CCheckButton* altBox = nullptr;      // 39
  EmojiControl* emojiPicker = nullptr; // 40
  MButton* okButton = nullptr;         // 41

 private:
  void StopCapture();
  int CurrentKind() const;

  ProfileDatabase& db_;
  int button_;
  int profile_;
  int kind_;
  int capturedKey_ = 0;
  int loadedUsage_ = 0;
  std::unique_ptr<RawInputRecorder> recorder_;
};

// Runs the dialog for (profile, button, kind) modally over `parent`; 1 when
// the user confirmed, 2 otherwise. `storeRefused` runs when the store did
// not take the confirmed row.
int RunKeyConfigDialog(HWND parent, ProfileDatabase& db, int profile, int button, int kind,
                       std::function<void(StoreWrite)> storeRefused = {});
