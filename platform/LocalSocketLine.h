#pragma once
// The client side of the program's local sockets in the runtime folder: a
// short message written in one go by a process that ends soon after.
#include <QByteArray>
#include <QString>

// runtimeDir + name, with the separator between them.
QString runtimeSocketPath(const QString& runtimeDir, const QString& name);

// Connects to the socket at path, writes bytes and disconnects; true when
// everything was handed to the listening process within timeoutMs per step.
bool sendToLocalSocket(const QString& path, const QByteArray& bytes, int timeoutMs);
