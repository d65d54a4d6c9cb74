// The symbology encoders behind MakeLineCodes. Each takes the trimmed text
// (all digits where BCData says so), assigns the whole symbol to LineCodes
// and writes Caption only where its symbology replaces it.
#pragma once

#include "qbarcode/qbarcode.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qb {

// Shared element conversion.
void AppendWidthsAsLineCodes(std::string_view widths, std::string& out);

// Two of five.
void EncodeInterleaved25(std::string_view Text, std::string& LineCodes);
void EncodeIndustrial25(std::string_view Text, std::string& LineCodes);
void EncodeMatrix25(std::string_view Text, std::string& LineCodes);

// Code 39.
int FindCode39Char(char Ch);
void EncodeCode39(std::string_view Text, TCheckSum CheckSum, std::string& LineCodes);
void EncodeCode39Ext(std::string_view Text, TCheckSum CheckSum, std::string& LineCodes);

// Code 128 and EAN-128.
void EncodeCode128(TBarType Type, std::string_view Text, TCheckSum CheckSum, std::string& Caption,
                   std::string& LineCodes);

// Code 93.
int FindCode93Char(char Ch);
void EncodeCode93(std::string_view Text, std::string& LineCodes);
void EncodeCode93Ext(std::string_view Text, std::string& LineCodes);

// MSI, PostNet, Codabar.
int FindCodabarChar(char Ch);
int DigitSum(std::int32_t N);
void EncodeMSI(std::string_view Text, std::string& LineCodes);
void EncodePostNet(std::string_view Text, std::string& LineCodes);
void EncodeCodabar(std::string_view Text, std::string& LineCodes);

// EAN and UPC, and the digit-string routines they share with EAN-128.
void PadLeftZeros(std::uint8_t Length, const std::string& Digits, std::string& Result);
void AppendMod10(const std::string& Digits, std::string& Result);
void ApplyCheckSum(TCheckSum CheckSum, const std::string& Digits, std::string& Result);
void ReplaceSupp5Check(const std::string& Digits, std::string& Result);
void EncodeEAN8(std::string_view Text, TCheckSum CheckSum, std::string& LineCodes);
void EncodeEAN13(std::string_view Text, TCheckSum CheckSum, std::string& LineCodes);
void EncodeUPCA(std::string_view Text, TCheckSum CheckSum, std::string& Caption, std::string& LineCodes);
void EncodeUPCE0(std::string_view Text, TCheckSum CheckSum, std::string& Caption, std::string& LineCodes);
void EncodeUPCE1(std::string_view Text, TCheckSum CheckSum, std::string& Caption, std::string& LineCodes);
void EncodeUPCSupp2(std::string_view Text, TCheckSum CheckSum, std::string& Caption, std::string& LineCodes);
void EncodeUPCSupp5(std::string_view Text, TCheckSum CheckSum, std::string& Caption, std::string& LineCodes);

} // namespace qb
