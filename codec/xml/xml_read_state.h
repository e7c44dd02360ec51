// What the XML reader shares with expat's callbacks: the state of one ReadXml
// call and the callbacks themselves, in a header of their own so that the
// reader's interface (xml_reader.h) needs no expat.
#pragma once

#include <expat.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "value/shape_memory.h"
#include "zk_data/text/byte_string.h"
#include "zk_data/value/data_node.h"

namespace zk {

// Everything one ReadXml call shares with the parser callbacks.
struct XmlReadState {
    XmlReadState(DataNode& target, bool freeFormLayout) : stack{&target}, freeForm(freeFormLayout) {}

    // Records code and stops the parser for good; code 0 (the root ended)
    // also records the offset just past the event being handled. The first
    // failure is final: later stops keep its code, callbacks return at once
    // (the rest of an empty-element tag still arrives after a stop), and
    // consumed stays 0.
    void StopReading(uint32_t code);

    XML_Parser parser = nullptr;
    ByteString text;         // character data since the last tag event
    bool sawCdata = false;   // a CDATA section started in this element
    bool inCdata = false;    // inside a CDATA section now
    std::vector<DataNode*> stack;  // open nodes; the bottom one is the target
    ShapeMemory shapes;            // sizes of the arrays of open containers
    uint32_t errorCode = 0;
    bool stopped = false;
    size_t consumed = 0;     // size_t: documents past 2 GiB report correctly
    bool freeForm = false;
    // Beyond the parser's needs: a failure has been recorded (see
    // StopReading), safety bounds, and errors from callbacks, which must not
    // unwind through expat's C frames.
    bool abandoned = false;
    uint32_t entityDeclarations = 0;
    std::exception_ptr exception;
};

// Parser callbacks; user data is the XmlReadState.
void XMLCALL OnStartElement(void* state, const XML_Char* name, const XML_Char** attributes);
void XMLCALL OnEndElement(void* state, const XML_Char* name);
void XMLCALL OnCharacterData(void* state, const XML_Char* bytes, int length);
void XMLCALL OnStartCdata(void* state);
void XMLCALL OnEndCdata(void* state);
void XMLCALL OnXmlDecl(void* state, const XML_Char* version, const XML_Char* encoding, int standalone);
void XMLCALL OnEntityDecl(void* state, const XML_Char* name, int isParameterEntity, const XML_Char* value,
                          int valueLength, const XML_Char* base, const XML_Char* systemId,
                          const XML_Char* publicId, const XML_Char* notationName);

// Accepts "gbk" and "gb2312" (any letter case): ASCII bytes stand for
// themselves and every byte from 0x80 up opens a two-byte sequence.
int XMLCALL OnUnknownEncoding(void* handlerData, const XML_Char* name, XML_Encoding* info);
// The first UTF-16 unit of a two-byte GBK sequence, or -1 (malformed input).
int XMLCALL ConvertGbkPair(void* data, const char* pair);

// Entity declarations a document may make where expat expands nested
// entities recursively (before 2.7.0): nesting can be no deeper than the
// entities declared, and 256 levels of expat's recursion stay near 100 KiB.
constexpr uint32_t kMaxEntityDeclarations = 256;

}  // namespace zk
