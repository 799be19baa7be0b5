#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
struct CddbCandidate { std::string category, title, performer; };
// What the lookup driver needs of the status window and the candidates dialog. The Win32 shell
// installs one; without one a lookup runs with no window and no wait.
class CddbStatusUi {
 public:
  virtual ~CddbStatusUi() = default;
  virtual bool Open(std::uint32_t discId) = 0;           // create+show on this thread; false: cannot (result 8)
  virtual void SetMessage(const std::string& text) = 0;  // message line, CP932
  // The message line with a second line that is cut to the window's width
  // instead of wrapping (a server's own status line, whatever its length).
  virtual void SetMessageAndDetail(const std::string& text, const std::string& detail) {
    SetMessage(text + "\r\n" + detail);
  }
  virtual void EnableClose() = 0;                        // enables "閉じる(&C)"
  virtual void Wait(std::uint32_t waitMs) = 0;           // pump until waitMs passed or the user closed it
  virtual void Close() = 0;                              // destroy if it exists
  // Candidates dialog over the status window: the chosen row + 1 (= reply line number), 0 = no choice.
  virtual int ChooseCandidate(const std::vector<CddbCandidate>& candidates) = 0;
  // On the thread that opened the window, while another thread does the lookup: answers this
  // thread's messages until `finished` says the work is done (the work calls Wake then). The
  // window's close button, a quit message or Abandon calls `cancel` once; the wait then lasts at
  // most graceMs more, as does one that reaches limitMs. True when the work has finished.
  // Base: polls `finished` without a window.
  virtual bool AwaitWork(const std::function<bool()>& finished, const std::function<void()>& cancel,
                         std::uint32_t limitMs, std::uint32_t graceMs);
  virtual void Wake() {}  // from the working thread: AwaitWork looks at `finished` again
  // From any thread, at shutdown: ends every wait and candidates dialog at once and answers
  // "no choice" from then on, so that no lookup thread outlives the plug-in. Cleared by
  // installing the windows again.
  virtual void Abandon() {}
};
void InstallCddbStatusUi(CddbStatusUi* ui);   // nullptr: none
CddbStatusUi* InstalledCddbStatusUi();
// The status window's message for a CddbResult ("CD情報の取得に成功しました" ...).
const char* CddbResultMessage(int result);
// The outcome of a lookup in the message line; a refusal also shows what the
// server said (`serverLine`).
void ShowLookupOutcome(CddbStatusUi& ui, int result, const std::string& serverLine);
