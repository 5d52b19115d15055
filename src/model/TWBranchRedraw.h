#pragma once

class QString;

// Whether a post of `name` about a branch would reach anyone. The branches'
// own observer of their redraw requests (SubtreeNeedsRedraw and
// BranchNeedsRedraw) repaints only for someone who listens for the delayed
// redraws it posts; without such a listener or another observer the request
// may be skipped.
bool branchPostIsHeard(const QString &name);
