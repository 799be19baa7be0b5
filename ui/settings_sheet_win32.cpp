#include "ui/settings_sheet.h"

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "input/plugin_paths.h"
#include "input/plugin_settings.h"
#include "resources/in_quorvo_res.h"
#include "ui/settings_links.h"
#include "ui/settings_pages.h"
#include "util/codepage.h"
#include "util/dialog.h"
#include "util/message_box.h"
#include "util/open_folder.h"
#include "util/property_page.h"

namespace ui {

namespace {

using namespace settings_pages;

constexpr int kTextLimit = 1023;
// A control's text in UTF-8: up to four bytes for each of its characters.
constexpr int kTextBytes = 4 * kTextLimit + 1;
constexpr int kTipMs = 10000;

// The sheet edits a copy of its own: the plug-in's threads read the settings
// while the sheet is open, and a page's check may show a box, during which
// the host can call in. The copy is published whole when the sheet closes
// after OK. The pages reach it through their creation parameter.
struct SheetState {
  PluginSettings edit;
  bool applied = false;
  HWND window = nullptr;  // known once the first page is made
};

// The sheet open now (host's thread only). A second Config while it is open
// would publish an older copy over the first one's pages, or the first over
// the second's: it brings the open sheet to the front instead.
SheetState* g_open = nullptr;

std::wstring LoadText(HINSTANCE instance, UINT id) {
  wchar_t text[kTextLimit + 1] = {};
  const int n = LoadStringW(instance, id, text, kTextLimit + 1);
  return n > 0 ? std::wstring(text, static_cast<std::size_t>(n)) : std::wstring();
}

std::string TextOf(const Control& control) {
  char text[kTextBytes] = {};
  control.Text(text, sizeof text);
  return text;
}

std::string ListTextAt(const Control& list, int index) {
  char text[kTextBytes] = {};
  list.ListText(index, text, sizeof text);
  return text;
}

// What every page shares: its window and the binding of its controls, each
// with its tooltip.
class Page {
 public:
  Page(HWND window, LPARAM sheet) : window_(window), sheet_(*reinterpret_cast<SheetState*>(sheet)) {
    if (!sheet_.window) sheet_.window = GetParent(window);
  }
  bool OnCommand(int, int) { return false; }

 protected:
  const PluginSettings& Shown() const { return sheet_.edit; }
  PluginSettings& Applying() {
    sheet_.applied = true;
    return sheet_.edit;
  }
  Control& Bind(Control& control, int id, int tipId = 0) {
    control.Bind(window_, id);
    if (tipId) control.AddTooltip(tipId, true, kTipMs);
    return control;
  }
  HWND window_;
  SheetState& sheet_;
};

class TitlePage : public Page {
 public:
  TitlePage(HWND window, LPARAM sheet) : Page(window, sheet) {
    Bind(format_, IDC_DEFAULT_FORMAT, IDS_TIP_DEFAULT_FORMAT).SetText(Shown().defaultTitleFormat.c_str());
    Bind(list_, IDC_PRIORITY_LIST, IDS_TIP_PRIORITY);
    for (const std::string& id : Shown().titlePriority) list_.ListAdd(PriorityDisplayName(id).c_str());
  }
  bool OnCommand(int id, int code) {
    if (code != BN_CLICKED || (id != IDC_PRIORITY_UP && id != IDC_PRIORITY_DOWN)) return false;
    const int selected = list_.ListSelection();
    const int neighbour = PriorityNeighbour(list_.ListCount(), selected, id == IDC_PRIORITY_UP ? -1 : 1);
    if (neighbour < 0) return true;
    const std::string text = ListTextAt(list_, neighbour);
    list_.ListDelete(neighbour);
    list_.ListInsert(selected, text.c_str());
    list_.ListSelect(neighbour);
    return true;
  }
  void Apply() {
    PluginSettings& s = Applying();
    s.defaultTitleFormat = TextOf(format_);
    for (std::size_t i = 0; i < s.titlePriority.size(); ++i) {
      s.titlePriority[i] = PriorityIdentifier(ListTextAt(list_, static_cast<int>(i)));
    }
  }

 private:
  Control format_, list_;
};

class ExtendedPage : public Page {
 public:
  ExtendedPage(HWND window, LPARAM sheet) : Page(window, sheet) {
    Bind(check_, IDC_EXTENDED_DEFAULT, IDS_TIP_EXTENDED_DEFAULT).SetChecked(Shown().extendedFileInfoDefault);
    Bind(title_, IDC_EXTENDED_TITLE, IDS_TIP_EXTENDED_TITLE).SetText(Shown().extendedFileInfoDefaultTitle.c_str());
  }
  using Page::OnCommand;
  void Apply() {
    PluginSettings& s = Applying();
    s.extendedFileInfoDefault = check_.Checked();
    s.extendedFileInfoDefaultTitle = TextOf(title_);
  }

 private:
  Control check_, title_;
};

class CdTextPage : public Page {
 public:
  CdTextPage(HWND window, LPARAM sheet) : Page(window, sheet) {
    Bind(format_, IDC_CDTEXT_FORMAT, IDS_TIP_CDTEXT_FORMAT).SetText(Shown().cdtextTitleFormat.c_str());
  }
  using Page::OnCommand;
  void Apply() { Applying().cdtextTitleFormat = TextOf(format_); }

 private:
  Control format_;
};

class CddbFormatPage : public Page {
 public:
  CddbFormatPage(HWND window, LPARAM sheet) : Page(window, sheet) {
    Bind(format_, IDC_CDDB_FORMAT, IDS_TIP_CDDB_FORMAT).SetText(Shown().cddbTitleFormat.c_str());
  }
  bool OnCommand(int id, int code) {
    if (id != IDC_CDDB_CACHE_MANAGER || code != BN_CLICKED) return false;
    settings_links::OpenCacheManager(window_);
    return true;
  }
  void Apply() { Applying().cddbTitleFormat = TextOf(format_); }

 private:
  Control format_;
};

class CddbServerPage : public Page {
 public:
  CddbServerPage(HWND window, LPARAM sheet) : Page(window, sheet) {
    const PluginSettings& s = Shown();
    Bind(url_, IDC_CDDB_URL, IDS_TIP_CDDB_URL);
    for (const std::string& entry : s.urlHistory) url_.ComboAdd(entry.c_str());
    url_.SetText(s.cddbUrl.c_str());
    Bind(proxy_, IDC_CDDB_PROXY, IDS_TIP_CDDB_PROXY);
    for (const std::string& entry : s.proxyHistory) proxy_.ComboAdd(entry.c_str());
    proxy_.SetText(s.cddbProxy.c_str());
    Bind(utf8_, IDC_CDDB_UTF8, IDS_TIP_CDDB_UTF8).SetChecked(s.cddbUseUtf8);
    Bind(useProxy_, IDC_CDDB_USE_PROXY, IDS_TIP_CDDB_USE_PROXY).SetChecked(s.cddbUseProxy);
    Bind(autoClose_, IDC_CDDB_AUTO_CLOSE, IDS_TIP_CDDB_AUTO_CLOSE).SetChecked(s.cddbDialogAutoClose);
    Bind(email_, IDC_CDDB_EMAIL, IDS_TIP_CDDB_EMAIL).SetText(s.cddbEmail.c_str());
  }
  using Page::OnCommand;
  void Apply() {
    const CddbPageInput input{TextOf(url_),         TextOf(proxy_),        utf8_.Checked(),
                              useProxy_.Checked(), autoClose_.Checked(), TextOf(email_)};
    ApplyCddbPage(Applying(), input, settings_links::CddbClient(), window_);
  }

 private:
  Control url_, proxy_, utf8_, useProxy_, autoClose_, email_;
};

class ReadPage : public Page {
 public:
  ReadPage(HWND window, LPARAM sheet) : Page(window, sheet) {
    const PluginSettings& s = Shown();
    Fill(Bind(speed_, IDC_READ_SPEED, IDS_TIP_READ_SPEED), ReadSpeedList(), s.readSpeed);
    Bind(jitter_, IDC_JITTER, IDS_TIP_JITTER).SetChecked(s.jitterCorrection);
    Fill(Bind(buffer_, IDC_BUFFER_SIZE, IDS_TIP_BUFFER_SIZE), BufferSizeList(), s.bufferSize);
    Fill(Bind(preRead_, IDC_PRE_READ_SIZE, IDS_TIP_PRE_READ_SIZE), PreReadSizeList(), s.preReadSize);
    Bind(transport_, IDC_TRANSPORT).SetText(TransportLabel(settings_links::TransportKind()).c_str());
  }
  using Page::OnCommand;
  void Apply() {
    const ReadPageInput input{speed_.ComboSelection(), buffer_.ComboSelection(), preRead_.ComboSelection(),
                              jitter_.Checked()};
    ApplyReadPage(Applying(), input, window_);
  }

 private:
  static void Fill(Control& combo, const std::vector<Choice>& list, std::uint32_t setting) {
    combo.ComboReset();
    for (const Choice& choice : list) combo.ComboAddWithValue(choice.label.c_str(), choice.value);
    const int index = ChoiceIndexFor(list, setting);
    if (index >= 0) combo.ComboSelect(index);
  }
  Control speed_, buffer_, preRead_, jitter_, transport_;
};

// The detection posts it to the page that started it; a page destroyed
// meanwhile is no window any more, and the message goes nowhere.
constexpr UINT kOffsetDetectionEnded = WM_APP + 0x41;

class RipPage : public Page {
 public:
  RipPage(HWND window, LPARAM sheet) : Page(window, sheet) {
    const PluginSettings& s = Shown();
    shownOffset_ = std::to_string(s.ripReadOffset);
    Bind(offset_, IDC_RIP_OFFSET, IDS_TIP_RIP_OFFSET).SetText(shownOffset_.c_str());
    Bind(detect_, IDC_RIP_DETECT_OFFSET, IDS_TIP_RIP_DETECT_OFFSET);
    Bind(status_, IDC_RIP_DETECT_STATUS);
    Bind(secure_, IDC_RIP_SECURE, IDS_TIP_RIP_SECURE).SetChecked(s.ripSecure);
    Bind(retries_, IDC_RIP_RETRIES, IDS_TIP_RIP_RETRIES).SetText(std::to_string(s.ripRetries).c_str());
    Bind(folder_, IDC_RIP_LOG_FOLDER, IDS_TIP_RIP_LOG_FOLDER).SetText(FolderShown(s.ripLogFolder).c_str());
    Bind(open_, IDC_RIP_OPEN_LOG, IDS_TIP_RIP_OPEN_LOG);
    Bind(use_, IDC_AR_USE, IDS_TIP_AR_USE).SetChecked(s.accurateRipUse);
    Bind(server_, IDC_AR_SERVER, IDS_TIP_AR_SERVER).SetText(s.accurateRipServer.c_str());
    SendMessageW(offset_.Window(), EM_LIMITTEXT, 16, 0);
    SendMessageW(retries_.Window(), EM_LIMITTEXT, 8, 0);
    SendMessageW(folder_.Window(), EM_LIMITTEXT, kTextLimit, 0);
    SendMessageW(server_.Window(), EM_LIMITTEXT, kTextLimit, 0);
  }
  bool OnCommand(int id, int code) {
    if (code != BN_CLICKED) return false;
    if (id == IDC_RIP_DETECT_OFFSET) {
      StartDetection();
      return true;
    }
    if (id != IDC_RIP_OPEN_LOG) return false;
    // The folder as typed, before it is applied.
    const std::string folder = plugin::RipLogFolderFor(TextOf(folder_));
    if (!folders::OpenFolder(window_, folder)) {
      msgbox::Show(window_, kLogFolderOpenMessage + codepage::AnsiToUtf8(folder), kMessageCaption,
                   msgbox::kOk | msgbox::kIconError);
    }
    return true;
  }
  void OnDetectionEnded() {
    const settings_links::OffsetDetectionAnswer answer = settings_links::LastOffsetDetection();
    if (answer.found) {
      offset_.SetText(std::to_string(answer.offset).c_str());
      detected_ = true;  // stored already; the sheet's copy must not undo it at OK
    }
    status_.SetText(answer.text.c_str());
    EnableWindow(detect_.Window(), TRUE);
  }
  void Apply() {
    const RipPageInput input{TextOf(offset_), secure_.Checked(), TextOf(retries_),
                             TextOf(folder_), FolderShown(std::string()), shownOffset_,
                             detected_,       use_.Checked(),    TextOf(server_)};
    ApplyRipPage(Applying(), input, window_);
  }

 private:
  // The folder the logs go to, in full, also when the setting is the default.
  static std::string FolderShown(const std::string& setting) {
    return codepage::AnsiToUtf8(plugin::RipLogFolderFor(setting));
  }
  void StartDetection() {
    // Keyboard focus on a disabled button would be lost.
    if (GetFocus() == detect_.Window()) {
      SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(offset_.Window()), TRUE);
    }
    EnableWindow(detect_.Window(), FALSE);
    status_.SetText("検出中…");
    // The server as typed, not yet applied; one that is no address is the
    // detection's to report.
    const std::string typed = TextOf(server_);
    const std::string server = AccurateRipServerFor(typed);
    if (!settings_links::StartOffsetDetection(window_, kOffsetDetectionEnded, server.empty() ? typed : server)) {
      status_.SetText("オフセットの検出はすでに実行中です");
      EnableWindow(detect_.Window(), TRUE);
    }
  }
  Control offset_, detect_, status_, secure_, retries_, folder_, open_, use_, server_;
  std::string shownOffset_;
  bool detected_ = false;
};

// The ripping page also takes the detection's message.
INT_PTR CALLBACK RipPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message != kOffsetDetectionEnded) return PageProc<RipPage>(window, message, wParam, lParam);
  try {
    if (RipPage* page = reinterpret_cast<RipPage*>(GetWindowLongPtrW(window, DWLP_USER))) page->OnDetectionEnded();
  } catch (...) {
  }
  return TRUE;
}

class OtherPage : public Page {
 public:
  OtherPage(HWND window, LPARAM sheet) : Page(window, sheet) {
    Bind(check_, IDC_MULTITHREAD_INIT, IDS_TIP_MULTITHREAD_INIT).SetChecked(Shown().multithreadInitialize);
  }
  using Page::OnCommand;
  void Apply() { Applying().multithreadInitialize = check_.Checked(); }

 private:
  Control check_;
};

struct PageEntry {
  int templateId;
  UINT titleId;
  DLGPROC proc;
};

const std::array<PageEntry, 8> kPages = {{
    {IDD_PAGE_TITLE, IDS_PAGE_TITLE, PageProc<TitlePage>},
    {IDD_PAGE_EXTENDED, IDS_PAGE_EXTENDED, PageProc<ExtendedPage>},
    {IDD_PAGE_CDTEXT, IDS_PAGE_CDTEXT, PageProc<CdTextPage>},
    {IDD_PAGE_CDDB1, IDS_PAGE_CDDB1, PageProc<CddbFormatPage>},
    {IDD_PAGE_CDDB2, IDS_PAGE_CDDB2, PageProc<CddbServerPage>},
    {IDD_PAGE_READ, IDS_PAGE_READ, PageProc<ReadPage>},
    {IDD_PAGE_RIP, IDS_PAGE_RIP, RipPageProc},
    {IDD_PAGE_OTHER, IDS_PAGE_OTHER, PageProc<OtherPage>},
}};

}  // namespace

void ShowSettingsSheet(HWND parent) {
  if (g_open) {
    if (g_open->window) SetForegroundWindow(g_open->window);
    return;
  }
  InitCommonControlsOnce();
  SheetState sheet;
  sheet.edit = SettingsSnapshot();
  const HINSTANCE instance = settings_links::Instance();
  // A wide sheet of wide pages: their titles and labels come from the UTF-16
  // resources as they are, whatever the system's code page.
  std::array<std::wstring, kPages.size()> titles;
  std::array<PROPSHEETPAGEW, kPages.size()> pages = {};
  for (std::size_t i = 0; i < kPages.size(); ++i) {
    titles[i] = LoadText(instance, kPages[i].titleId);
    PROPSHEETPAGEW& page = pages[i];
    page.dwSize = sizeof page;
    page.dwFlags = PSP_USETITLE;
    page.hInstance = instance;
    page.pszTemplate = MAKEINTRESOURCEW(kPages[i].templateId);
    page.pfnDlgProc = kPages[i].proc;
    page.pszTitle = titles[i].c_str();
    page.lParam = reinterpret_cast<LPARAM>(&sheet);
  }
  const std::wstring caption =
      LoadText(instance, IDS_SETTINGS) + L"  -  " + LoadText(instance, IDS_PLUGIN_NAME) + L" [in_quorvo.dll]";
  PROPSHEETHEADERW header = {};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
  header.hwndParent = parent;
  header.hInstance = instance;
  header.pszCaption = caption.c_str();
  header.nPages = static_cast<UINT>(pages.size());
  header.nStartPage = 0;
  header.ppsp = pages.data();
  g_open = &sheet;
  struct Closed {
    ~Closed() { g_open = nullptr; }
  } closed;
  PropertySheetW(&header);
  if (sheet.applied) PublishSettings(sheet.edit);
}

}  // namespace ui
