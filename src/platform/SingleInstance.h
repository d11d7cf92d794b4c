#pragma once

#include <QLockFile>
#include <QString>

namespace fw {

// Tells whether another copy of the program runs, by a lock file in the user's runtime directory
// (the temporary directory when there is none). A copy that crashed leaves a lock that the next
// start recognises as stale and takes over.
class SingleInstance {
public:
    // directory: where the lock lives; empty for the runtime directory.
    explicit SingleInstance(const QString& programName, const QString& directory = {});

    // True when this process now holds the lock, that is, no other copy runs. The lock is held
    // until this object goes away.
    bool tryLock();

    QString lockPath() const { return path_; }

private:
    QString path_;
    QLockFile lock_;
};

} // namespace fw
