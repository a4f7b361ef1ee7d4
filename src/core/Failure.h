// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// Why an operation of the core failed, for the user to read: the one shape in which the core reports
// a failure. An operation that can fail returns a Failure, empty when nothing failed, and hands its
// other results back through references:
//
//     if (const Failure failure = reader.open(bytes))
//         messages.critical(failure.opening() + u'.');
//
// The text is Italian and written once, where the failure is known, naming the file or field: either a
// clause, lower case and without a full stop, that the caller puts inside a sentence of its own
// ("Impossibile scrivere %1: %2."), or sentences complete in themselves that also say what is left as
// it was. kind() tells apart the outcomes a caller treats differently; every kind has its text.
class [[nodiscard]] Failure
{
public:
    enum class Kind {
        None,      // nothing failed
        Failed,    // the operation could not be done
        Cancelled, // the user stopped it: nothing of it is kept
    };

    Failure() = default;
    static Failure failed(const QString& text) { return Failure(Kind::Failed, text); }
    static Failure cancelled(const QString& text) { return Failure(Kind::Cancelled, text); }

    explicit operator bool() const { return m_kind != Kind::None; }
    Kind kind() const { return m_kind; }
    // The text as written, for the caller's sentence.
    const QString& text() const { return m_text; }
    // The text where a sentence starts (see SentenceOpening).
    QString opening() const { return SentenceOpening(m_text); }

    // A clause made the start of a sentence: its first letter a capital, the rest as written. The one
    // place where a reason's letters change: the same clause stands inside one message and opens
    // another ("…leggibile. L'indice va oltre…", "La stampante «Ufficio» non esiste: …").
    static QString SentenceOpening(const QString& clause);

private:
    Failure(Kind kind, const QString& text) : m_kind(kind), m_text(text) {}

    Kind m_kind = Kind::None;
    QString m_text;
};
