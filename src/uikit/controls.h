// Every control class of the library. All are created through
// MDialog::CreateControl / CreateArea (or MTabLayout's) by class name.
//
// Events (types.h) are reported only for what the user does; every setter
// below changes the control silently.
#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "uikit/control.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QMovie;

// Check state shared by the controls that are exclusive within a group name
// (CRadioButton, ColorButtonEx, DPIControl): checking one, by the user or
// from code, unchecks every other control of the same dialog and group name.
class MGroupCheck {
 public:
  virtual ~MGroupCheck() = default;
  void SetGroupName(std::u16string_view name) { groupName_.assign(name); }
  std::u16string GetGroupName() const { return groupName_; }

 protected:
  // Sets the check flag of `self` and, when checked, clears the others.
  void ApplyCheck(MControl* self, bool checked);
  virtual void SetCheckedFlag(bool checked) = 0;
  virtual bool GetCheckedFlag() const = 0;

 private:
  std::u16string groupName_;
};

// A text; lets clicks through.
class MText : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(MText)
  void Paint(QPainter& painter, const QRect& area) override;
  // Wrapping of long texts over several lines (on by default).
  void SetWordWrap(bool wrap);

 protected:
  bool IsMouseTransparent() const override { return true; }

 private:
  bool wordWrap_ = true;
};

// A picture; lets clicks through. Show mode 2 stretches the image, 3 keeps a
// border of `value` pixels unstretched (nine-slice); mode 1 (default) draws it
// at its own size, centred.
class MPicture : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(MPicture)
  void SetShowMode(int mode, int value);
  // A stretched picture keeps its top `rows` rows at their own height (a
  // title bar drawn into a window background); 0, the default, stretches all.
  void SetFixedTop(int rows);
  // Size of the image (one frame); 0 × 0 without an image file.
  CSize GetImageSize() const;
  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  bool IsMouseTransparent() const override { return true; }

 private:
  int showMode_ = 2;
  int showValue_ = 0;
  int fixedTop_ = 0;
};

// A filled rectangle (Windows colour value); lets clicks through.
class CArea : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(CArea)
  // `transparent` non-zero leaves the area unfilled; `alpha` 0 means opaque.
  void SetTransparent(int transparent, int alpha, std::uint32_t colorref);
  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  bool IsMouseTransparent() const override { return true; }

 private:
  bool filled_ = false;
  int alpha_ = 0;
  std::uint32_t color_ = 0;
};

// A rounded panel of one ARGB colour; lets clicks through.
class CRoundArea : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(CRoundArea)
  void SetColor(std::uint32_t argb);
  std::uint32_t GetColor() const { return color_; }
  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  bool IsMouseTransparent() const override { return true; }

 private:
  std::uint32_t color_ = 0xE61F2C37;
};

// Push buttons: a click reports event 2.
class MButton : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(MButton)
  // The font the title is drawn with on a face of `size`: the control's own,
  // smaller where the title would not fit on one line.
  QFont TitleFont(const QSize& size) const;
  void Paint(QPainter& painter, const QRect& area) override;
  void MouseRelease(QMouseEvent* event) override;

 protected:
  void PaintFace(QPainter& painter, const QRect& area, int frame);
};

class CImageButton : public MButton {
 public:
  UIKIT_CONTROL_CLASS(CImageButton)
};

// A button with an icon; the text and the icon each have their own rectangle.
class CIconButton : public MButton {
 public:
  UIKIT_CONTROL_CLASS(CIconButton)
  void SetIconImage(std::u16string_view file, int mode);
  void SetTextRect(const CRect& textRect, const CRect& iconRect);
  std::u16string GetIconImage() const { return icon_; }
  void Paint(QPainter& painter, const QRect& area) override;

 private:
  std::u16string icon_;
  int iconMode_ = 1;
  CRect textRect_;
  CRect iconRect_;
  bool hasRects_ = false;
};

// A flat text button (a link); style 4 underlines on hover.
class CTextButton : public MButton {
 public:
  UIKIT_CONTROL_CLASS(CTextButton)
  void SetStyle(int style) { style_ = style; }
  int GetStyle() const { return style_; }
  void Paint(QPainter& painter, const QRect& area) override;

 private:
  int style_ = 0;
};

// A small "?" button; its title is the help text, shown while the pointer
// rests on it.
class CHelpButton : public MButton {
 public:
  UIKIT_CONTROL_CLASS(CHelpButton)
  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  void OnTitleChanged() override;
};

// Two-state buttons: a click toggles (a radio button only checks) and then
// reports event 2.
class CCheckButton : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(CCheckButton)
  virtual void SetCheck(int checked);
  int GetCheck() const { return checked_ ? 1 : 0; }
  void Paint(QPainter& painter, const QRect& area) override;
  void MouseRelease(QMouseEvent* event) override;

 protected:
  virtual void UserToggle();
  bool checked_ = false;
};

class CRadioButton : public CCheckButton, public MGroupCheck {
 public:
  UIKIT_CONTROL_CLASS(CRadioButton)
  void SetCheck(int checked) override;
  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  void UserToggle() override;
  void SetCheckedFlag(bool checked) override;
  bool GetCheckedFlag() const override { return checked_; }
};

class CSwitchButton : public CCheckButton {
 public:
  UIKIT_CONTROL_CLASS(CSwitchButton)
  // The off and on images, each a strip of `mode` state frames.
  void SetSwitchImage(std::u16string_view off, std::u16string_view on, int mode);
  void Paint(QPainter& painter, const QRect& area) override;

 private:
  std::u16string onImage_;
};

// A coloured, checkable button of an exclusive group (report rates).
class ColorButtonEx : public MControlFont, public MGroupCheck {
 public:
  UIKIT_CONTROL_CLASS(ColorButtonEx)
  void SetColor(std::uint32_t argb);
  std::uint32_t GetColor() const { return color_; }
  void SetCheck(int checked);
  int GetCheck() const { return checked_ ? 1 : 0; }
  void Paint(QPainter& painter, const QRect& area) override;
  void MouseRelease(QMouseEvent* event) override;

 protected:
  void SetCheckedFlag(bool checked) override;
  bool GetCheckedFlag() const override { return checked_; }

 private:
  std::uint32_t color_ = 0xFF3E556D;
  bool checked_ = false;
};

// A combo box of items with an integer datum each. Choosing an item reports
// event 2 with its index. The shown text is the selected item's text unless
// SetTitle gave another.
class MComboBox : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(MComboBox)
  // Appends an item; `icon` and `color` are accepted for the callers.
  int AddItem(std::u16string_view text, int data, std::u16string_view icon = {}, std::uint32_t color = 0);
  void DelAllItems();
  int GetCount() const;
  void SetCurSel(int index);
  int GetCurSel() const;
  // Datum of the selected item; 0 without a selection.
  int GetCurData() const;
  // Selects the first item with that datum; none: the selection stays.
  bool SelectData(int data);
  // Index out of range: nothing.
  void SetItemText(int index, std::u16string_view text);
  std::u16string GetItemText(int index) const;
  int GetItemData(int index) const;
  QComboBox* Combo() const;

  void UserChose(int index);

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void OnAttached() override;
  void OnTitleChanged() override;
  void OnTextColorChanged() override;
  void OnFontChanged() override;

 private:
  void ShowSelectionText();
};

// A one-line edit. The user's typing reports 26, gaining focus 30, losing it
// 29; Enter reports 29 and then 2. The title is the text.
class MEdit : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(MEdit)
  std::u16string GetEditText() const;
  void SetNumberOnly(bool on);
  bool IsNumberOnly() const { return numberOnly_; }
  void SetLimitText(int characters);
  // The grey hint shown while the edit is empty.
  void SetTipInfo(std::u16string_view text);
  // Background, Windows colour value.
  void SetBkColor(std::uint32_t colorref);
  // A field that only shows a key captured elsewhere: read-only, focused by
  // a click alone, reports 30 only for a click into it, keeps every key to
  // itself (no typing, no Enter, Tab or Escape) and reports no 2.
  void SetKeyField(bool on);
  QLineEdit* Edit() const;

  void UserEvent(int eventCode);

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void OnAttached() override;
  void OnTitleChanged() override;
  void OnFontChanged() override;
  void OnTextColorChanged() override;
  void ApplyStyle();
  bool numberOnly_ = false;
  std::uint32_t bkColor_ = 0x3B2E22;
  bool hasBkColor_ = false;
};

// An edit that takes digits only.
class NumberEdit : public MEdit {
 public:
  UIKIT_CONTROL_CLASS(NumberEdit)

 protected:
  void OnAttached() override;
};

class NumberEdit2 : public NumberEdit {
 public:
  UIKIT_CONTROL_CLASS(NumberEdit2)
};

// A horizontal slider of integer positions. Dragging reports 26 for each new
// position, releasing (or a click on the track) reports 2.
class MSlider : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(MSlider)
  void SetRange(int minimum, int maximum);
  int GetMin() const { return min_; }
  int GetMax() const { return max_; }
  // Clamped to the range.
  void SetProgress(int position);
  int GetProgress() const { return pos_; }
  // No position shown (no thumb) until the next SetProgress.
  void ClearProgress();
  bool HasProgress() const { return hasProgress_; }
  void Paint(QPainter& painter, const QRect& area) override;
  void MousePress(QMouseEvent* event) override;
  void MouseMove(QMouseEvent* event) override;
  void MouseRelease(QMouseEvent* event) override;

 protected:
  int PositionAt(int x) const;
  QRect TrackRect(const QRect& area) const;
  int min_ = 0;
  int max_ = 100;
  int pos_ = 0;
  bool hasProgress_ = true;
  bool dragging_ = false;
};

// The DPI slider: positions are hundreds of DPI (2..128 by default).
class DPISlider : public MSlider {
 public:
  UIKIT_CONTROL_CLASS(DPISlider)
  DPISlider();
  void SetBkgImage(std::u16string_view file);
  void Paint(QPainter& painter, const QRect& area) override;

 private:
  std::u16string background_;
};

// One DPI stage: its title, colour and value. A click reports 2 and checks it
// within its group; typing in its value reports 26, finishing 29.
class DPIControl : public MControlFont, public MGroupCheck {
 public:
  UIKIT_CONTROL_CLASS(DPIControl)
  void SetDPIValue(int value);
  // No value and no stage colour shown until the next SetDPIValue.
  void ClearDPIValue();
  // The number in the value field (0 when it holds none).
  int GetDPIValue() const;
  // Windows colour value.
  void SetColor(std::uint32_t colorref);
  std::uint32_t GetColor() const { return color_; }
  void SetCheckState(int checked);
  int GetCheckState() const { return checked_ ? 1 : 0; }
  void SetDPIEditEnable(int enable);
  void Paint(QPainter& painter, const QRect& area) override;
  void MouseRelease(QMouseEvent* event) override;
  QLineEdit* Edit() const { return edit_; }

  void UserEdit(int eventCode);

 protected:
  void OnAttached() override;
  void SetCheckedFlag(bool checked) override;
  bool GetCheckedFlag() const override { return checked_; }
  void OnFontChanged() override;

 private:
  void PlaceEdit();
  QLineEdit* edit_ = nullptr;
  std::uint32_t color_ = 0xFF;
  bool checked_ = false;
  bool editEnabled_ = false;
  bool hasValue_ = true;
};

// The battery gauge: background image, a level bar and a charging sign.
class BatteryCtrl : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(BatteryCtrl)
  void SetBatteryIcon(std::u16string_view levelImage, std::u16string_view chargingImage);
  // Level 0..100 (clamped); state 1 charging, 2 no reading (shown as "--").
  void SetBatteryInfo(int level, int state);
  int GetBatteryLevel() const { return level_; }
  int GetBatteryState() const { return state_; }
  void Paint(QPainter& painter, const QRect& area) override;

  // Where the gauge's body and its percentage go in `area`: the percentage
  // gets the room "100%" takes in `font` (the font made smaller only when a
  // body of 20 pixels would leave too little), the body the rest up to 36.
  struct Parts {
    QRect body;
    QRect text;
    QFont font;
  };
  static Parts LayOut(const QRect& area, const QFont& font);

 protected:
  bool IsMouseTransparent() const override { return true; }

 private:
  std::u16string levelImage_;
  std::u16string chargingImage_;
  int level_ = 0;
  int state_ = 0;
};

// The connection state: an icon and the title. SetState picks the icon's
// frame: 0 none, 1 cable, 2 receiver, 3 Bluetooth.
class CDeviceState : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(CDeviceState)
  void SetState(int state);
  int GetState() const { return state_; }
  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  bool IsMouseTransparent() const override { return true; }

 private:
  int state_ = 0;
};

// An animated picture (GIF). SetRunState(1, ...) starts it.
class CGifPicture : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(CGifPicture)
  ~CGifPicture() override;
  void SetImage(std::u16string_view file, int mode) override;
  void SetRunState(int run, int reserved);
  bool IsRunning() const { return running_; }
  int GetFrameNumber() const;
  void OnMTimer() override;
  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  bool IsMouseTransparent() const override { return true; }

 private:
  QMovie* movie_ = nullptr;
  bool running_ = false;
};

// Labels on the mouse picture: each item is a text joined by a line from
// `from` (on the mouse) to `to` (the label side). A click on a label reports
// 2 with its index.
class MouseCtrl : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(MouseCtrl)
  int AddItem(std::u16string_view text, int button, int side, CPoint from, CPoint to);
  void SetItemText(int index, std::u16string_view text);
  std::u16string GetItemText(int index) const;
  int GetItemCount() const { return static_cast<int>(items_.size()); }
  void SetSelectItem(int index);
  int GetSelectItem() const { return selected_; }
  void Paint(QPainter& painter, const QRect& area) override;
  void MouseRelease(QMouseEvent* event) override;

 private:
  struct Item {
    std::u16string text;
    int button;
    int side;
    CPoint from;
    CPoint to;
  };
  QRect LabelRect(const Item& item) const;
  std::vector<Item> items_;
  int selected_ = -1;
};

// The emoji picker: a grid of images. A click selects and reports 2.
class EmojiControl : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(EmojiControl)
  int AddEmoji(int id, std::u16string_view tooltip, std::u16string_view image);
  void SetSelectItem(int index);
  int GetSelectItem() const { return selected_; }
  int GetItemCount() const { return static_cast<int>(items_.size()); }
  // Id of the selected emoji (0 without a selection); `text` receives its
  // tooltip.
  int GetSelectData(std::u16string* text = nullptr) const;
  void Paint(QPainter& painter, const QRect& area) override;
  void MouseRelease(QMouseEvent* event) override;
  void MouseMove(QMouseEvent* event) override;

 private:
  struct Item {
    int id;
    std::u16string tooltip;
    std::u16string image;
  };
  int IndexAt(QPoint point) const;
  QRect CellRect(int index) const;
  std::vector<Item> items_;
  int selected_ = -1;
};

// The list of macros: text and datum per item. A click reports 2, a right
// click (or its "more" button) 9 with the index; a double click edits the
// item's text in place and the end of that edit reports 29.
class MacroList : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(MacroList)
  // index -1 appends; returns the new index.
  int AddString(std::u16string_view text, int data, int index = -1);
  void DeleteAllItems();
  bool DeleteItem(int index);
  int GetItemCount() const;
  std::u16string GetItemText(int index) const;
  int GetItemData(int index) const;
  void ModifyItemString(int index, std::u16string_view text);
  void SetCurSel(int index);
  int GetCurSel() const;
  void SetScale(float scale) { scale_ = scale; }
  QListWidget* List() const;
  // The "more" button drawn on the selected item (a strip of `mode` frames).
  void SetImage(std::u16string_view file, int mode) override;

  void UserEvent(int eventCode, int index);
  bool InSetter() const { return inSetter_; }

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void OnAttached() override;
  void OnFontChanged() override;
  void OnTextColorChanged() override;

 private:
  float scale_ = 1.0f;
  bool inSetter_ = false;
};

// One event of the macro event list.
struct RecordItem {
  std::u16string text;
  int type = 0;
  int value = 0;
  std::uint32_t stamp = 0;
};

// The macro event list. A click reports 2, a right click 9 with the index.
class CRecordList : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(CRecordList)
  void SetMoreImage(std::u16string_view file, int mode);
  void SetScale(float scale) { scale_ = scale; }
  int GetItemCount() const { return static_cast<int>(items_.size()); }
  // Events other than delays.
  int GetEventCount() const;
  int GetCurSel() const;
  void SetCurSel(int index);
  void DeleteAllItems();
  int AddString(std::u16string_view text, int type, int value, std::uint32_t stamp);
  // The new item takes `position`; -1 (or past the end) appends.
  int InsertString(int position, std::u16string_view text, int type, int value, std::uint32_t stamp);
  bool GetRecordInfo(int position, RecordItem& item) const;
  bool SetRecordInfo(int position, std::u16string_view text, int type, int value, std::uint32_t stamp);
  // Replaces text and value of the items that carry that stamp and type.
  bool SetRecordInfo(std::uint32_t stamp, int type, std::u16string_view text, int value);
  std::uint32_t GetRecrodTimeStamp(int position) const;
  // Removes every item with that stamp; returns how many.
  int DeleteTimeStamp(std::uint32_t stamp);
  bool SwapItem(int first, int second);
  bool MoveTop(int position);
  bool MoveBottom(int position);
  std::vector<RecordItem> GetRecordItems() const { return items_; }
  QListWidget* List() const;
  // Icons of the event kinds: delay, key, button, wheel, move, move by x and y.
  void SetImage(std::u16string_view file, int mode) override;

  void UserEvent(int eventCode, int index);

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void OnAttached() override;
  void OnFontChanged() override;
  void OnTextColorChanged() override;

 private:
  void Rebuild(int selection);
  void ShowRow(int index);
  std::vector<RecordItem> items_;
  std::vector<QIcon> icons_;  // one per kind, cut from the image strip
  std::u16string moreImage_;
  int moreImageMode_ = 1;
  float scale_ = 1.0f;
};

// A page: a show/hide group of controls. Its members keep their own
// rectangles in the dialog's client coordinates; hiding the page hides them
// all, showing it shows those whose own flag is set.
class MTabLayout : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(MTabLayout)
  ~MTabLayout() override;
  MControl* CreateControl(std::string_view className, int id, const CRect& rect, std::u16string_view title = {},
                          int value1 = 1, int value2 = 1);
  MControl* CreateArea(std::string_view className, int id, const CRect& rect, std::u16string_view title = {},
                       int value1 = 1, int value2 = 1);
  void SetVisible(bool visible) override;
  const std::vector<MControl*>& Members() const { return members_; }

  void AddMember(MControl* control);
  void RemoveMember(MControl* control);

 protected:
  bool IsMouseTransparent() const override { return true; }

 private:
  std::vector<MControl*> members_;
};

// The tab strip. Each item shows its page (MTabLayout) and hides the others;
// the user's click on an item selects it and reports 2 with its index.
class MTabCtrl : public MControlFont {
 public:
  UIKIT_CONTROL_CLASS(MTabCtrl)
  int InsertItem(int itemId, std::u16string_view text, std::u16string_view icon, MTabLayout* layout, int iconMode = 3,
                 int reserved = 0);
  int GetItemCount() const { return static_cast<int>(items_.size()); }
  // -1 for an index out of range.
  int GetItemID(int index) const;
  void SetItemText(int index, std::u16string_view text);
  std::u16string GetItemText(int index) const;
  // Selects from code: shows that item's page, no event.
  void SetSelectItem(int index);
  int GetSelectItem() const { return selected_; }
  void SetTabCtrlWidth(int width) { tabWidth_ = width; }
  void SetTabCtrlHeight(int height) { tabHeight_ = height; }
  void SetLeftRightPading(int left, int right);
  void SetTopBottomPading(int top, int bottom);
  void SetItemWidth(int normal, int selected, int reserved);
  void SetItemHeight(int normal, int selected, int reserved);
  // The one font of every item's text: small enough for the longest to fit
  // its item, so no item's text looks smaller than its neighbours'.
  QFont ItemFont() const;
  // Where an item's text is drawn, relative to the strip.
  QRect ItemTextRect(int index) const;
  void Paint(QPainter& painter, const QRect& area) override;
  void MouseRelease(QMouseEvent* event) override;
  void MouseMove(QMouseEvent* event) override;
  void HoverChanged(bool hovered) override;

 private:
  struct Item {
    int id;
    std::u16string text;
    std::u16string icon;
    int iconMode;
    MTabLayout* layout;
  };
  QRect ItemRect(int index) const;
  void ShowPages();
  int IndexAt(QPoint point) const;
  std::vector<Item> items_;
  int selected_ = -1;
  int hoverIndex_ = -1;
  int tabWidth_ = 60;
  int tabHeight_ = 60;
  int itemWidth_ = 60;
  int itemHeight_ = 60;
};
