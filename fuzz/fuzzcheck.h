#pragma once
// What the targets share: the input as Qt bytes, a check that stops the run
// with a message libFuzzer keeps beside the crashing input, and a scratch
// folder for inputs that must be files.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

inline QByteArray Bytes(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A broken rule is a finding like a crash: abort so that libFuzzer saves the input.
inline void Require(bool holds, const char *rule)
{
    if (holds)
        return;
    std::fprintf(stderr, "rule broken: %s\n", rule);
    std::abort();
}

// One folder for the whole run, removed at exit.
inline const QTemporaryDir &Scratch()
{
    static const QTemporaryDir dir;
    Require(dir.isValid(), "a scratch folder can be made");
    return dir;
}

// Writes bytes to a file of that name in the scratch folder; gives its path.
// QFile, not QSaveFile: a scratch file needs no safe replace, and a sync to
// disk for every input would slow the fuzzer a hundredfold. The old file is
// removed rather than truncated, which ext4 would flush to disk.
inline QString ScratchFile(const QString &name, const QByteArray &bytes)
{
    const QString path = Scratch().filePath(name);
    QFile::remove(path);
    QFile file(path);
    Require(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(),
            "the scratch file can be written");
    return path;
}

} // namespace fuzz
