#pragma once

class QMimeData;
class TWMapBranch;

// The people and groups a drop or paste names become resources of the branch
// (each once); beeps when it names none.
bool allocateResourcesFromPasteboard(TWMapBranch &branch, const QMimeData *data);
