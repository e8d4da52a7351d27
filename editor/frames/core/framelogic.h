// The main frame's rules that need no window.
#pragma once

namespace tarnwick {

enum class PaneTarget { None, View, Tree };

// Where F6 (next pane) moves the keyboard focus: from the tree bar to the
// chart view; otherwise to the tree while its bar shows (unless a view that
// lacks the focus is there to take it); with the bar hidden, to the view.
PaneTarget NextPaneTarget(bool focusInTreeBar, bool treeBarVisible, bool hasView, bool focusOnView);

} // namespace tarnwick
