// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// Why an operation of the core failed, for the user to read: the one shape in which the core reports
// a failure. An operation that can fail returns a Failure, empty when nothing failed, and hands its
// other results back through references:
//
//     if (const Failure failure = SavePagePdf(path, page))
//         messages.critical(PdfNotSavedMessage(failure.text()));
//
// The text is Italian and written once, where the failure is known, naming the file or field: a
// clause, lower case and without a full stop, that the caller puts inside a sentence of its own, after
// a colon ("Il file PDF non è stato salvato: %1."), never at the start of one; its letters are never
// changed. Where the whole message is known where the failure is (the archive's writes say which file
// and what is left as it was), the text is that message, sentences complete, and the function says so.
// kind() tells apart the outcomes a caller treats differently; every kind has its text.
class [[nodiscard]] Failure
{
public:
    enum class Kind {
        None,      // nothing failed
        Failed,    // the operation could not be done
        Cancelled, // the user stopped it: nothing of it is kept
        Busy,      // another copy of the program held the archive's lock past the wait: nothing was
                   // written, and trying again later may succeed
        Moved,     // the record is no longer where the list showed it (another program changed the
                   // archive): nothing was written
    };

    Failure() = default;
    static Failure failed(const QString& text) { return Failure(Kind::Failed, text); }
    static Failure cancelled(const QString& text) { return Failure(Kind::Cancelled, text); }
    static Failure busy(const QString& text) { return Failure(Kind::Busy, text); }
    static Failure moved(const QString& text) { return Failure(Kind::Moved, text); }

    explicit operator bool() const { return m_kind != Kind::None; }
    Kind kind() const { return m_kind; }
    // The text as written, for the caller's sentence.
    const QString& text() const { return m_text; }

    friend bool operator==(const Failure&, const Failure&) = default;

private:
    Failure(Kind kind, const QString& text) : m_kind(kind), m_text(text) {}

    Kind m_kind = Kind::None;
    QString m_text;
};
