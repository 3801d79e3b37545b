// The main window: a dialog of our UI library, the owner of the program's
// run-time state and of the worker thread. The worker side (state, queue,
// step and device tasks) is DeviceWorker; this class joins it to the window:
// what the worker hands to the window thread goes through the UI library's
// post, in order with the window's own posted messages. Its definitions are
// grouped by role: the worker bridge here, the window, its device list,
// device scan and device commands beside it.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "database/profile_database.h"
#include "ui/device_main_def.h"
#include "sync/device_worker.h"
#include "ui/device_config.h"
#include "ui/raw_input_recorder.h"
#include "uikit/window.h"

class QSocketNotifier;
namespace platform {
class HotplugMonitor;
class MousePanelLauncher;
class SystemMouseSettings;
class UserStore;
}  // namespace platform

// Window messages of the main window.
inline constexpr UINT UM_MOUSE_AT_EDGE = 1579;
inline constexpr UINT UM_TRAY_NOTIFY = 1690;
inline constexpr UINT UM_EXIT_REQUEST = 1691;
inline constexpr UINT UM_PROFILE_FILE = 1705;
inline constexpr UINT UM_MACRO_LIST_MENU = 1709;
inline constexpr UINT UM_INSERT_EVENT_MENU = 1710;
inline constexpr UINT UM_EVENT_LIST_MENU = 1711;
inline constexpr UINT UM_RELOAD_LANGUAGE = 2022;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_DEVICECHANGE = 0x0219;

class DeviceMainDlg : public MDialog, public DeviceWorker, public DeviceMainDef {
 public:
  DeviceMainDlg();  // the process-wide store and device manager
  DeviceMainDlg(ProfileDatabase& db, HidDeviceManager& devices);
  // Ends the worker before anything it may touch goes.
  ~DeviceMainDlg() override;

  const char* GetClassName() const override { return "DeviceMainDlg"; }

  // ---- the window (UI thread)
  LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int OnInitDialog() override;
  void InitUI(const CRect& client) override;
  int UISize(const CRect& client) override;
  int OnMessage(int controlId, int eventCode, LPARAM param, LPARAM extra) override;
  int OnNcActivate(int active) override;
  // The dialog timer: retries the store while a page could not read it.
  int OnTimer(int timerId) override;
  // The orderly close: stop the worker (at most 1000 ms), forget the matched
  // rows, destroy the window, then end as the close button does.
  virtual void CloseDialog();
  // Creates the window 1121 x 780, centred, and runs it; returns the modal result.
  int ShowMainWindow(int showFlag);
  int ToggleMaximize();
  // Shows the window normally and brings it forward (a second start asks for it).
  void BringForward();
  // Mouse messages of the notification-area icon (none is ever added).
  void OnTrayIconNotify(LPARAM mouseMessage);
  // The program's own exits (the close button, the window manager's close):
  // stop the worker (at most 1000 ms: a step stuck on a silent mouse is not
  // waited for), then end the process with 0.
  void ExitProgram();

  // ---- config.xml and the model's database
  void LoadConfig();
  void OpenDeviceDatabase();
  std::vector<DeviceModeInfo> mouseRows;
  std::vector<DeviceModeInfo> modeRows;
  std::vector<DeviceModeInfo> supportedRows;  // under supportedRowsLock
  std::mutex supportedRowsLock;
  std::u16string softwareVersion, websiteUrl, storeUrl, upgradeUrl, copyrightInfo;

  // ---- device arrival and removal
  void ScanDevices() override;
  // A notice from the hot-plug monitor: 0x8000 arrival, 0x8004 removal.
  void UpdateUSBDevice(int event, const std::string& path);
  void RegisterHidNotification();
  void OpenBatteryService();
  // Interface paths of a Bluetooth LE service; the platform lists none here,
  // tests put their own in.
  std::function<std::vector<std::string>(std::u16string_view serviceId)> listServiceInterfaces;
  int batteryServiceHandle = -1;
  // The second family's word on the mouse behind its receiver: text 52 with
  // the tab strip enabled, 53 with the home item selected and the strip
  // disabled.
  void ShowNordicConnection(int stateText) override;
  // Control 41's language text and state image; the number is kept so a
  // language change words the same state again.
  void ShowConnectionState(int stateText);
  int connectionStateText = 50;

  // ---- device commands
  void OnProfileSelected();
  void OnWriteAllClicked();
  void OnReadBackClicked();
  void OnRestoreDefaults();
  void OnFactoryReset();
  int OnWorkerDone(WPARAM wParam, LPARAM lParam);

  // The busy dialog last shown (a WaitDlg), kept after its run and deleted
  // when the next one is made. Window thread only.
  MDialog* busyDialog = nullptr;

  int currentTabItem = 1;
  float uiScale = 1.0f;
  CRect messageRect;
  std::uint32_t windowTextColor = 0xFFB8D3EF;

  // ---- button page (pages/key_page.cpp)
  void CreateKeyPage();
  void LayoutKeyPage(const CRect& client);
  // The 19 kinds in every button combo, each button's factory kind selected;
  // the left button's combo disabled.
  void FillKeyCombos() override;
  void AddKeyComboItem(std::u16string_view text, int kind);
  // The current profile's rows in the combos and on the mouse picture.
  void ShowKeyAssignments() override;
  // Those rows as the page showed them last (shownKeys).
  void ShowKeyRows();
  void RefreshKeyPage() override;
  // Stores `row` for the current profile and selectedButton, a store that
  // does not take it told; the new row id, or 0 when nothing was stored (a
  // row without values only removes).
  int SaveKeyAssignment(KeyAssignment row);
  // Button 1's combo takes a choice only while the left button is unlocked,
  // and only once both pages show what the store holds.
  void ApplyLeftButtonLock();
  // Combos 62..82: the function chosen for a button.
  void OnButtonFunctionSelected(int controlId);
  // Runs the assignment dialog for (profile, button, kind) over the window:
  // 1 confirmed, 2 cancelled. Empty: the real modal dialog; tests put their
  // own in.
  std::function<int(int profile, int button, int kind)> runKeyConfigDialog;

  // ---- performance page (pages/performance_page.cpp)
  void CreatePerformancePage();
  void LayoutPerformancePage(const CRect& client);
  void LayoutReportRateButtons();
  // Shows the first `count` report-rate buttons in a row, hides the others.
  void ShowReportRateRow(int count);
  void LoadPerformancePage() override;
  // The page from the rows it showed last (shownSettings).
  void ShowSettingsRows();
  // Until the store first answers, the controls that show its values show
  // none and take no input: the performance page's, the response time and
  // the lock switch.
  void EmptySettingsControls();
  void ShowDpiStage(int level) override;
  void ShowReportRateButton(int hz) override;
  // The second family's notices: DPI control 101..106 checked, report-rate
  // button 114 + index (0..5) set.
  void CheckDpiControl(int controlId) override;
  void CheckReportRateButton(int index) override;
  void OnDpiControl(int controlId, int eventCode);
  void OnDpiSlider(int eventCode);
  void OnResponseTimeEdit(int eventCode);
  // Both resets return 0 when the user cancels their confirmation, else 1.
  int ResetDpiDefaults();
  void StepDpiSlider(int controlId);
  int ResetReportRate();
  void OnReportRateClicked(int controlId);
  void OnSleepLight();
  void OnLiftoffHeight(int controlId);
  void OnSensorOptions(int controlId);
  void OnScrollDirection(int controlId);
  void OnEsportsMode(int controlId);
  // An update of the current profile's settings row (a missing row stays
  // missing). False, and reported, when the store does not take it or a page
  // shows values the store did not give.
  bool StoreConfig(std::u16string_view key, std::u16string_view value);

  // ---- a store that refuses or does not answer (main_window.cpp)
  // An edit the store did not take (`why`; kStored tells nothing). Once the
  // handler that met it has run, the pages show the store again, or, where
  // it gives no answer, what they showed before the edit (so Apply sends
  // what they show), and a box says the change was not saved: text 216 for
  // a store that did not answer, 215 for one that refused. Refusals until
  // that box is closed add nothing: one box per action, however many rows
  // it stored.
  void ReportNotStored(StoreWrite why);
  // A worker's send without a box of its own (the light mode, a stage, the
  // owed write on arrival) found the store silent: told as the pages' silence.
  void TellStoreUnanswered() override;
  // The read-back's values refused by the store: told as a refusal.
  void TellReadBackNotStored() override;
  // The four pages from the store; false when one of them got no answer.
  bool ShowPagesFromStore();
  // Pages of the store's answers (bits of unansweredPages).
  static constexpr unsigned kProfilePage = 1, kPerformancePage = 2, kKeyPage = 4, kMacroPage = 8;
  // A page's refresh found the store `answered` or not; returns `answered`.
  // A page without an answer keeps what it shows, and until every page has
  // its answer again nothing is stored from them (MayStoreEdit) and the
  // store is retried (OnTimer, and before each control event). The first
  // unanswered refresh of such a spell is told.
  bool NoteStoreAnswer(unsigned page, bool answered);
  // True when every page shows what the store gave; else the edit is told
  // as not stored.
  bool MayStoreEdit();
  void RetryPagesFromStore();
  // Pages whose last refresh the store did not answer. Window thread.
  unsigned unansweredPages = 0;
  // The pages `pages` as they showed the store last (the shown* members
  // below), for an edit the store did not take where it gives no answer now.
  void ShowKeptPages(unsigned pages);
  // What the pages show of the store: set by each answered refresh and by
  // each stored edit. Empty (0 for the macro) until the page first shows it.
  // Window thread.
  std::map<std::u16string, std::u16string, std::less<>> shownSettings;
  std::vector<KeyAssignment> shownKeys;
  bool keyRowsShown = false;
  std::map<int, std::u16string> shownMacroNames;  // by macro_id, as the list words them
  struct ShownMacro {
    int macroId = 0;
    bool found = false;
    MacroInfo macro;
    std::vector<MacroRecord> events;
  } shownMacro;

  // ---- light mode (pages/light_mode.cpp)
  // Stores the chosen mode and queues its send; 1.
  int OnLightModeChanged(int controlId);
  void ShowLightModeChoice(int mode) override;

  // ---- macro list and options (pages/macro_page.cpp)
  void CreateMacroPage();
  void LayoutMacroPage(const CRect& client);
  // Refills the list and shows its first macro. While a recording runs it
  // waits until the recording has stopped and saved its events.
  void LoadMacroList() override;
  void ShowMacro(int macroId);
  // The options and events of shownMacro.
  void ShowMacroRows();
  void OnMacroListNotify(int eventCode, LPARAM param);
  void OnDelayEditChanged(int eventCode);
  void OnLoopCountEditChanged(int eventCode);
  void NewMacro();
  void DuplicateMacro();
  void DeleteMacro();
  // Radios 172..174 and 179..181: the edit they govern, then the options saved.
  void OnMacroOptionRadio(int controlId);
  void SaveMacroOptions();
  // Everything of the page but the record button.
  void EnableMacroPage(bool enable);
  // The macro_id of the selected list item; 0 without a selection.
  int SelectedMacroId() const;
  // The list again from the store, the selected macro kept when it is there.
  void ReloadMacroListKeepingSelection();
  bool macroListReloadPending = false;

  // ---- macro event editor (pages/macro_events.cpp)
  void ShowEventKeyControls(bool show) override;
  void ShowEventEditControls(bool show) override;
  void OnMacroEventListNotify(int eventCode, LPARAM param);
  void ApplyKeyEventEdit(int eventCode);
  void OnMoveEditFinished(int controlId, int eventCode);
  void ShowInsertEventMenu();
  LRESULT OnInsertMacroEvent(WPARAM wParam, LPARAM lParam);
  LRESULT OnMacroEventMenu(WPARAM wParam, LPARAM lParam);
  void DeleteMacroEvent();
  void OnEventKindSelected();
  void ApplyButtonEventEdit();
  void OnEventUpButton();
  void OnEventDownButton();
  void MoveEventUp();
  void MoveEventDown();
  void MoveEventToBottom();
  void ApplyMoveEventEdit(int controlId);
  // Rewrites the selected macro's events from the event list, in list order.
  void SaveMacroEvents();
  // The selected event is a move by x and y: the x/y group's values into it.
  void StoreMoveEvent(int maxX);
  // A stamp that no event of the list carries yet.
  std::uint32_t NextMacroEventStamp() const;

  // ---- macro recording (pages/macro_recording.cpp)
  void ToggleMacroRecording();
  LRESULT OnRawInput(LPARAM lParam);
  void AddRecordedEvent(const RawInputEvent& event);
  // Ends a recording: input stops, the events are saved, the page is usable again.
  void StopMacroRecording();
  // The event editor's key field: raw key input while it has the focus.
  void StartEventKeyCapture();
  void StopEventKeyCapture();
  bool macroRecording = false;
  static constexpr int kCaptureRecording = 1;  // recording a macro
  static constexpr int kCaptureEventKey = 12;  // the event editor's key field
  int captureState = 0;                        // 0 none, or one of the above
  int recordEventLimit = 200;
  int recordDelayMode = 0;  // as the delay radios: 0 none, 1 measured, 2 fixed
  int recordFixedDelay = 0;
  std::optional<std::uint32_t> lastRecordTick;  // measured mode: the last input recorded
  int capturedKeyCode = 0;
  std::u16string capturedKeyName;
  std::unique_ptr<RawInputRecorder> rawInputRecorder;

  // ---- macro files (pages/macro_files.cpp)
  void ImportMacro();
  void ExportMacro();
  // One box says the export to `path` wrote nothing and names the file, or
  // that the store did not answer, titled with language text `title`. A
  // written file is not told.
  void ReportUnwrittenFile(const std::string& path, int title, bool storeUnread);

  // ---- settings page (pages/settings_page.cpp)
  void CreateSettingsPage();
  void LayoutSettingsPage(const CRect& client);
  void LoadWindowsMouseSettings();
  void RestoreWindowsMouseDefaults() override;
  void OnPointerSpeed(int eventCode);
  void OnWheelLinesSlider();
  void OnDoubleClickSpeed();
  void OnScrollLines(int eventCode);
  // The language and lock handlers return 0 when they refuse or the user
  // cancels, else 1.
  int OnLanguageChanged(int eventCode);
  void OnPointerPrecision();
  void OnScrollPage(int controlId);
  void OnAutoStart();
  int OnLeftButtonLock();
  void OpenDesktopMouseSettings();
  // The desktop's pointer settings and its mouse panel; made on first use
  // (the settings over the window's per-user store) unless set before.
  void SetDesktopMouse(std::shared_ptr<platform::SystemMouseSettings> settings,
                       std::shared_ptr<platform::MousePanelLauncher> panel);
  platform::SystemMouseSettings& DesktopMouse();
  platform::MousePanelLauncher& MousePanel();
  std::shared_ptr<platform::SystemMouseSettings> desktopMouseSettings;
  std::shared_ptr<platform::MousePanelLauncher> desktopMousePanel;

  // ---- profile list and files (pages/profile_page.cpp)
  // Fills the profile combo from the store and selects currentProfile.
  void LoadProfileList() override;
  void ImportProfile();
  void ExportProfile(int profile);
  // What the two do once a file is chosen. Export: `profile`'s buttons,
  // lighting, settings and name; import: into currentProfile, then the
  // family's work command is queued. False when nothing was written or
  // stored; `storeUnread` tells an export that wrote nothing because one of
  // its own reads got no answer.
  bool ExportProfileTo(int profile, const std::string& path, bool* storeUnread = nullptr);
  bool ImportProfileFrom(const std::string& path);

  // ---- texts of the controls (pages/control_texts.cpp)
  // Every control's language text again from the current language's file,
  // the lists that hold language texts reloaded, and the window laid out
  // again (the settings page's columns follow the language).
  void ApplyLanguage();

  // The per-user store the window reads and writes ("DeviceType").
  void SetUserStore(platform::UserStore* store) { userStore_ = store; }
  platform::UserStore& UserStore();

 protected:
  void PostToUiThread(std::function<void()> task) override;
  void PostWorkerDone(long wParam, long lParam) override;
  void EndBusyDialog() override;
  void ShowBatteryInfo(int level, int state) override;
  void SetVersionLabel(int controlId, const std::u16string& text) override;
  // The product's key of the per-user store.
  std::pair<platform::UserStore*, std::string> OwedWriteKey() override;

  // The window manager's close ends the program like the close button.
  void OnUserCloseWindow() override { ExitProgram(); }
  // Ends the process without tearing down the singletons the worker may
  // still use; tests replace it.
  virtual void EndProcess(int status);

  // Runs `task` now when on the window thread, else posts it there.
  void RunOnWindowThread(std::function<void()> task);
  // Runs one busy-dialog command: a new WaitDlg, the code queued, the modal run.
  void RunBusyCommand(int code);

 private:
  void ApplyConnectionView(int stateText, bool usable, bool bluetooth);
  void OnHotplugReadable();
  void SwitchTab(int index);

  std::unique_ptr<platform::HotplugMonitor> hotplug_;
  std::unique_ptr<QSocketNotifier> hotplugNotifier_;
  // One box about the store at a time: `text` in a box titled as the page
  // in view, the pages shown from the store first when `showStore`. Posted,
  // so the handler that met the trouble finishes before the box opens.
  void TellStore(int text, bool showStore);

  platform::UserStore* userStore_ = nullptr;
  bool storeBoxPending_ = false;
  bool keptPagesPending_ = false;  // a refused edit's pages are yet to be shown
  bool storeSilenceTold_ = false;  // the spell of unanswered refreshes was told
  std::uint32_t lastStoreRetry_ = 0;
  // Cleared by the destructor: a task that arrives after the window went
  // does nothing. Both run on the window thread.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
