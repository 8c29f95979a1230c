#pragma once

#include "common/Exception.h"

#include <QString>

#include <deque>
#include <functional>

namespace kalvendo {

// The cabinet writer's error: one fixed text per error code.
class ECABFileError : public Exception {
public:
    enum Code {
        None = 0,
        OpenSource = 1,
        ReadSource = 2,
        AllocFail = 3,
        TempFile = 4,
        BadCompressionType = 5,
        CabFile = 6,
        UserAbort = 7,
        MciFail = 8,
    };

    explicit ECABFileError(int code) : Exception(textForCode(code)), m_code(code) {}
    int code() const noexcept { return m_code; }
    const char* className() const noexcept override { return "ECABFileError"; }

    // "No error" .. "Failure compressing data"; "Unknown error" for any other code.
    static QString textForCode(int code);

private:
    int m_code;
};

enum TCompressionType { typNone, typMSZIP, typLZX };
enum TLZXMemory { lzxLowest, lzxLower, lzxLow, lzxMedium, lzxHigh, lzxHigher, lzxHighest };

// One file to store.
class TCABFileEntry {
public:
    // Path of the file to store; a relative path counts from the current folder.
    const QString& Name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    // Folder inside the cabinet; empty for its root.
    const QString& RelPath() const { return m_relPath; }
    void setRelPath(const QString& relPath) { m_relPath = relPath; }

    // The name inside the cabinet: RelPath, one backslash, the file name of Name.
    QString cabinetName() const;

private:
    QString m_name;
    QString m_relPath;
};

// The entries of a TCABFile, in the order they are stored.
class TCABFileContents {
public:
    // A new empty entry at the end.
    TCABFileEntry& Add() { return m_items.emplace_back(); }
    TCABFileEntry& Items(int index) { return m_items.at(size_t(index)); }
    const TCABFileEntry& Items(int index) const { return m_items.at(size_t(index)); }
    TCABFileEntry& operator[](int index) { return Items(index); }
    int Count() const { return int(m_items.size()); }
    void Clear() { m_items.clear(); }

private:
    std::deque<TCABFileEntry> m_items; // references stay valid while adding
};

class TCABFile;
// pos: bytes of the sources stored so far; tot: bytes of all sources.
using TCompressProgress = std::function<void(TCABFile* Sender, qint32 pos, qint32 tot)>;

// Writes one cabinet (.CAB) file from a list of files, in one folder of the
// cabinet, compressed with MSZIP or stored. The cabinet is built in memory and
// replaces CABFile only when complete.
class TCABFile {
public:
    TCABFile() = default;
    TCABFile(const TCABFile&) = delete;
    TCABFile& operator=(const TCABFile&) = delete;

    const QString& CABFile() const { return m_cabFile; }
    void setCABFile(const QString& path) { m_cabFile = path; }

    TCABFileContents& CABFileContents() { return m_contents; }
    const TCABFileContents& CABFileContents() const { return m_contents; }

    TCompressionType CompressionType() const { return m_compressionType; }
    void setCompressionType(TCompressionType type) { m_compressionType = type; }

    // The window size of LZX, which this writer does not offer (kept for the
    // property's sake).
    TLZXMemory LZXMemory() const { return m_lzxMemory; }
    void setLZXMemory(TLZXMemory memory) { m_lzxMemory = memory; }

    const TCompressProgress& OnCompressProgress() const { return m_onProgress; }
    void setOnCompressProgress(TCompressProgress handler) { m_onProgress = std::move(handler); }

    // Always "1.4.0.3"; assigning has no effect.
    QString Version() const;
    void setVersion(const QString&) {}

    // Writes CABFile from the entries and returns true. Every source is opened
    // first: one that cannot be opened raises EFOpenError ("Datei %s kann nicht
    // geöffnet werden. %s") before anything is written. Other failures raise
    // ECABFileError: typLZX "Unknown compression type", a source that cannot
    // be read "Failure reading file to be stored in cabinet", a target that
    // cannot be written "Could not create cabinet file". CABFile is untouched
    // on every failure.
    bool Compress();

    // The header's set identifier.
    static constexpr quint16 kSetId = 12345;
    // The compression code of a cabinet folder: 0 none, 1 MSZIP, LZX 3 plus
    // 256 times the window exponent (15 .. 21).
    static int compressionCode(TCompressionType type, TLZXMemory memory);

private:
    QString m_cabFile;
    TCABFileContents m_contents;
    TCompressionType m_compressionType = typMSZIP;
    TLZXMemory m_lzxMemory = lzxLowest;
    TCompressProgress m_onProgress;
};

} // namespace kalvendo
