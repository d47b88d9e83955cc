# The reader's USB identity, defined once: vendor and product id as four hex digits. The reader layer's
# constants (reader/ReaderIdentity.h), the udev rule, the AppStream metainfo and the package's
# post-install script are generated from these two values.
set(RFID_READER_VENDOR_ID 0314)
set(RFID_READER_PRODUCT_ID 1001)
