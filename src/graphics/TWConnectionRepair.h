#pragma once

class TWMap;
class TWMapBranch;

// After a map is read: every branch below the root gets a connection of the
// right kind (a title connection under the root, a child connection deeper)
// with the default settings where the file gave it none or one the reader
// refused. Returns how many were made.
int rebuildMissingConnections(TWMapBranch &root);
// The same over the map's tree, then one alert for the whole map when any
// connection had to be made.
int repairConnectionsAfterLoading(TWMap &map);
