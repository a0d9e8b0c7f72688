#include "window/document_filler.h"

#include "cipher/base/bytes.h"

#include <cstdint>

namespace window {

DocumentFiller::DocumentFiller(long document) {
    m_editor.SendScintilla(QsciScintillaBase::SCI_SETDOCPOINTER, 0, document);
    // Nobody listens to this editor: it tells nobody of the text going in, nor keeps it for Undo.
    m_editor.SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK, 0UL);
    m_editor.SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 0UL);
}

bool DocumentFiller::take(std::string_view piece) {
    m_editor.SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, static_cast<uintptr_t>(piece.size()), piece.data());
    return true;
}

QByteArrayView DocumentFiller::bytes() const {
    const auto* text =
        static_cast<const char*>(m_editor.SendScintillaPtrResult(QsciScintillaBase::SCI_GETCHARACTERPOINTER));
    return {text, static_cast<qsizetype>(m_editor.SendScintilla(QsciScintillaBase::SCI_GETLENGTH))};
}

void DocumentFiller::wipe() {
    const QByteArrayView text = bytes();
    cipher::cleanse(const_cast<char*>(text.data()), static_cast<std::size_t>(text.size()));
}

} // namespace window
