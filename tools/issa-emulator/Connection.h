#pragma once
// Reaching below the HTTP library to the client's TCP connection: to close it
// without an answer, or to notice that the client has given up.

#include <atomic>

// The socket of this process whose local port is localPort and whose peer port
// is peerPort; -1 when there is none.
int FindConnectionSocket(int localPort, int peerPort);

// Closes the connection at once with a reset, without sending anything more.
void DropConnection(int fd);

// Waits until the peer closes the connection, maxMs pass, or stop is set.
// Returns true when the peer closed it.
bool WaitForPeerClose(int fd, int maxMs, const std::atomic<bool> &stop);

// Sleeps ms milliseconds in short steps; returns false when stop was set.
bool SleepUnlessStopped(int ms, const std::atomic<bool> &stop);
