#pragma once

#include <functional>
#include <memory>

namespace zarvo {

class CommonDialog;
class IRegistryWriter;
class ISystem;
class IUiServices;

// What the main window gives each of its pages: the system and its user
// interface, the open-file dialog the picture pages share, and the registry
// writer the window keeps while it is loaded.
struct PageContext {
    ISystem& system;
    IUiServices& ui;
    // Shared by the Wallpaper page and the three screen-file pages: after a
    // cancel it still holds the last file chosen on any of them.
    CommonDialog& pictureDialog;
    // Made by the window's load step and dropped by its unload step; null
    // outside that time.
    std::unique_ptr<IRegistryWriter> registry;
    // Run after each click a page handles, its own messages shown: what the
    // window adds to say about a change, which comes after the page's word.
    std::function<void()> afterClick;
};

}  // namespace zarvo
