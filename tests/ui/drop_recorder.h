// A drop target that writes down every call it gets, for the suites that drop onto controls.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/user/clipboard.h"
#include "platform/user/ole.h"

namespace uitest {

struct DropCall {
  std::string kind;  // "enter", "over", "leave", "drop"
  win::DWORD keys = 0;
  win::POINTL pt{};
  win::DWORD effectIn = 0;
  win::IDataObject* data = nullptr;  // enter and drop only
};

class DropRecorder final : public win::IDropTarget {
 public:
  win::ULONG AddRef() override { return ++refs; }
  win::ULONG Release() override { return --refs; }

  win::HRESULT DragEnter(win::IDataObject* data, win::DWORD keys, win::POINTL pt,
                         win::DWORD* effect) override {
    calls.push_back({"enter", keys, pt, *effect, data});
    *effect &= answer;
    return win::S_OK;
  }
  win::HRESULT DragOver(win::DWORD keys, win::POINTL pt, win::DWORD* effect) override {
    calls.push_back({"over", keys, pt, *effect, nullptr});
    if (onOver) onOver();
    *effect = (*effect & answer) | (answer & win::DROPEFFECT_SCROLL);
    return win::S_OK;
  }
  win::HRESULT DragLeave() override {
    calls.push_back({"leave", 0, {}, 0, nullptr});
    return win::S_OK;
  }
  win::HRESULT Drop(win::IDataObject* data, win::DWORD keys, win::POINTL pt,
                    win::DWORD* effect) override {
    calls.push_back({"drop", keys, pt, *effect, data});
    if (onDrop) onDrop();
    win::FORMATETC asked;
    asked.cfFormat = win::CF_HDROP;
    win::STGMEDIUM medium;
    if (win::SUCCEEDED(data->GetData(&asked, &medium))) {
      droppedPaths = win::FileDropPaths(medium.hGlobal);
      win::ReleaseStgMedium(&medium);
    }
    win::ReadDataBytes(data, win::RegisterClipboardFormatA("Shell IDList Array"), &droppedIdList);
    *effect &= answer;
    return win::S_OK;
  }

  std::string Kinds() const {
    std::string kinds;
    for (const DropCall& c : calls) kinds += (kinds.empty() ? "" : " ") + c.kind;
    return kinds;
  }

  win::ULONG refs = 1;
  win::DWORD answer = win::DROPEFFECT_COPY;
  std::function<void()> onOver;
  std::function<void()> onDrop;
  std::vector<DropCall> calls;
  std::vector<std::string> droppedPaths;
  std::string droppedIdList;
};

}  // namespace uitest
