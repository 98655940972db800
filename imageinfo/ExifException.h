// The one fault of the metadata reader: a read would go past the end of the
// data being parsed. It is thrown inside the reader only; the record's
// constructors catch it and keep what was decoded before.
#ifndef QUILLOMAT_IMAGEINFO_EXIFEXCEPTION_H
#define QUILLOMAT_IMAGEINFO_EXIFEXCEPTION_H

enum class ExifException {
    ReadPastEnd = 0,
};

#endif
