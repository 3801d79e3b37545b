// The control base classes: MControl (place, visibility, state, images) and
// MControlFont (title text and its font). Every control class derives from
// MControlFont; a dialog creates them by class name (MDialog::CreateControl).
//
// Rectangles are in the dialog's client coordinates, also for a control that
// belongs to a page (MTabLayout): a page only shows and hides its members.
#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "uikit/types.h"
#include "uikit/window.h"

class QWidget;
class QPainter;
class QMouseEvent;
class QFont;
class QRect;
class MDialog;
class MTabLayout;

#define UIKIT_CONTROL_CLASS(Name)               \
  static constexpr const char* kClassName = #Name; \
  const char* GetClassName() const override { return kClassName; }

class MControl : public MObject {
 public:
  static constexpr const char* kClassName = "MControl";
  MControl();
  ~MControl() override;

  int GetID() const { return id_; }
  MDialog* GetOwner() const { return owner_; }
  MTabLayout* GetGroup() const { return group_; }
  // The two integers given at creation.
  int GetCreateValue1() const { return value1_; }
  int GetCreateValue2() const { return value2_; }
  bool IsArea() const { return area_; }

  virtual void SetRect(const CRect& rect);
  CRect GetRect() const { return rect_; }
  // The control's own flag; it is seen only while its page is shown too and
  // its rectangle is not empty.
  virtual void SetVisible(bool visible);
  bool IsVisible() const { return visible_; }
  bool IsShown() const;
  virtual void SetEnabled(bool enabled);
  bool IsEnabled() const { return enabled_; }
  void SetTooltip(std::u16string_view text);
  std::u16string GetTooltip() const { return tooltip_; }
  // Redraws the control (the two values are accepted for the callers).
  void UpdateControl(int redraw = 1, int reserved = 0);

  // The image operation: a file beside the executable and its mode, the number
  // of state frames side by side (1 one image; 4 normal, hover, pressed,
  // disabled; 8 the same four unchecked then checked).
  virtual void SetImage(std::u16string_view file, int mode);
  std::u16string GetImage() const { return image_; }
  int GetImageMode() const { return imageMode_; }
  // The colour operation (ARGB); for texts the text colour.
  virtual void SetTextColor(std::uint32_t argb);
  std::uint32_t GetTextColor() const { return textColor_; }

  // Lets the dialog's timer (MDialog::SetMTimer) drive this control.
  void AddMTimer();
  virtual void OnMTimer() {}

  QWidget* GetWidget() const { return widget_; }

  // Called by MDialog right after construction.
  void Attach(MDialog* owner, MTabLayout* group, int id, QWidget* parent, const CRect& rect,
              std::u16string_view title, int value1, int value2, bool area);
  // Re-evaluates whether the widget is shown (own flag, page, rectangle).
  void ApplyVisibility();

  // --- for the widget that draws the control ---
  virtual void Paint(QPainter& painter, const QRect& area);
  virtual void MousePress(QMouseEvent* event);
  virtual void MouseRelease(QMouseEvent* event);
  virtual void MouseMove(QMouseEvent* event);
  virtual void MouseDoubleClick(QMouseEvent* event);
  virtual void HoverChanged(bool hovered);

 protected:
  // Creates the Qt widget; the default draws through Paint and the mouse
  // handlers above.
  virtual QWidget* CreateWidget(QWidget* parent);
  // Texts, pictures and panels let clicks through to what lies below.
  virtual bool IsMouseTransparent() const { return false; }
  virtual void OnAttached() {}
  virtual void OnTitleChanged() {}
  virtual void OnFontChanged() {}
  virtual void OnTextColorChanged() {}

  // Reports a user action to the owner dialog.
  int Report(int eventCode, LPARAM param = 0);
  // 0 normal, 1 hover, 2 pressed, 3 disabled.
  int StateIndex() const;
  // The state frame of the image, or null.
  QPixmap StateImage(int stateIndex) const;
  void Repaint();

  std::u16string title_;
  std::u16string image_;
  int imageMode_ = 1;
  std::uint32_t textColor_ = 0xFFB8D3EF;
  bool hovered_ = false;
  bool pressed_ = false;

 private:
  friend class MControlFont;
  friend class MTabLayout;
  MDialog* owner_ = nullptr;
  MTabLayout* group_ = nullptr;
  QPointer<QWidget> widget_;
  int id_ = 0;
  int value1_ = 0;
  int value2_ = 0;
  bool area_ = false;
  CRect rect_;
  bool visible_ = true;
  bool enabled_ = true;
  std::u16string tooltip_;
};

// Title text and font of a control.
class MControlFont : public MControl {
 public:
  MControlFont();

  void SetTitle(std::u16string_view title);
  std::u16string GetTitle() const { return title_; }
  // Font name, pixel size and style (0 regular, 1 bold, 2 italic).
  void SetFont(std::u16string_view name, int size, int style);
  void SetFontName(std::u16string_view name);
  std::u16string GetFontName() const { return fontName_; }
  // Pixel size of the font.
  void SetFontWidth(int size);
  int GetFontWidth() const { return fontSize_; }
  // 0 left, 1 centre, 2 right.
  void SetAlignment(int alignment);
  int GetAlignment() const { return alignment_; }
  // 0 top, 4 centre, 8 bottom.
  void SetVAlignment(int alignment);
  int GetVAlignment() const { return vAlignment_; }

  QFont MakeFont() const;
  int QtAlignment() const;

 protected:
  std::u16string fontName_;
  int fontSize_ = 14;
  int fontStyle_ = 0;
  int alignment_ = 0;
  int vAlignment_ = 4;
};

namespace uikit {
// The control of that class name, or null for a name the library does not know.
std::unique_ptr<MControl> MakeControl(std::string_view className);
// `font`, one pixel smaller at a time (down to `minPixelSize`), until `text`
// fits `room` on one line: a long text shrinks rather than spilling out.
QFont FitFont(QFont font, const QString& text, const QSize& room, int minPixelSize = 8);
QString ToQString(std::u16string_view text);
std::u16string FromQString(const QString& text);
}  // namespace uikit
