// Modbus function codes, exception codes and the function bytes of the
// exception answers, by name.
#pragma once

namespace tarvik {

enum class FunctionCode : int {
    ReadCoils = 1,
    ReadDiscreteInputs = 2,
    ReadHoldingRegisters = 3,
    ReadInputRegisters = 4,
    WriteSingleCoil = 5,
    WriteSingleRegister = 6,
    WriteMultipleCoils = 15,
    WriteMultipleRegisters = 16,
};

// An answer's function byte with this bit set is an exception answer.
inline constexpr int kExceptionBit = 128;

// The one data byte of an exception answer.
enum class ExceptionCode : char {
    IllegalDataAddress = '\x02',
    IllegalDataValue = '\x03',
};

inline constexpr int CodeOf(FunctionCode code) { return static_cast<int>(code); }

// The request's own code with the exception bit: 131 for a refused read.
inline constexpr int ExceptionByteOf(FunctionCode code) { return CodeOf(code) | kExceptionBit; }

// The byte every unsupported function gets, whatever its code, and the one
// a write of several registers past the table gets: function 1 with the
// exception bit, as masters of this device expect.
inline constexpr int kUnsupportedFunctionByte = ExceptionByteOf(FunctionCode::ReadCoils);

}  // namespace tarvik
