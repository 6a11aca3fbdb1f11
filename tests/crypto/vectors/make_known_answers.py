#!/usr/bin/env python3
"""Writes known_answers.h: answers computed by Python's cryptography package.

Run once by hand; the output is checked in so the tests never compute their
expected values with the code they test.
"""
import base64
import hashlib
import hmac
import json
import os

from cryptography.hazmat.primitives import hashes, padding
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
from cryptography.hazmat.primitives.kdf.pbkdf2 import PBKDF2HMAC


def b64(data):
    return base64.b64encode(data).decode()


def pbkdf2(password, salt, iterations, length):
    kdf = PBKDF2HMAC(algorithm=hashes.SHA512(), length=length, salt=salt, iterations=iterations)
    return kdf.derive(password)


def aes_cbc(key, iv, plaintext):
    padder = padding.PKCS7(128).padder()
    padded = padder.update(plaintext) + padder.finalize()
    encryptor = Cipher(algorithms.AES(key), modes.CBC(iv)).encryptor()
    return encryptor.update(padded) + encryptor.finalize()


def mac(key, data):
    return hmac.new(key, data, hashlib.sha256).digest()


def c_string(text):
    return '"' + text.encode().decode('ascii', 'backslashreplace').replace('"', '\\"') + '"'


def utf8_literal(text):
    return '"' + text.replace('\\', '\\\\').replace('"', '\\"') + '"'


out = []
message = 'Grüße, 世界! 🔐 "quoted"'

# PBKDF2-HMAC-SHA512: password, salt, iterations, length.
out.append('// PBKDF2-HMAC-SHA512: password (UTF-8), salt base64, iterations, derived base64.')
out.append('inline constexpr Pbkdf2Answer kPbkdf2Answers[] = {')
rows = [
    ('password', b'salt', 1, 64),
    ('pässwörd 🔑', bytes(range(32)), 100000, 64),
    ('P' * 200, bytes(range(100, 116)), 3, 100),
    ('short', b'', 2, 37),
    ('', bytes(range(7)), 2, 64),
    ('x' * 128, b'block-sized password', 5, 129),
]
for password, salt, iterations, length in rows:
    derived = pbkdf2(password.encode(), salt, iterations, length)
    out.append(f'    {{{utf8_literal(password)}, "{b64(salt)}", {iterations}, "{b64(derived)}"}},')
out.append('};')

# HMAC-SHA256 and AES-256-CBC.
mac_key = bytes(range(0x40, 0x60))
mac_data = b'The quick brown fox jumps over the lazy dog'
out.append(f'inline constexpr char kHmacKey[] = "{b64(mac_key)}";')
out.append(f'inline constexpr char kHmacData[] = "{b64(mac_data)}";')
out.append(f'inline constexpr char kHmacValue[] = "{b64(mac(mac_key, mac_data))}";')
aes_key = bytes(range(0xA0, 0xC0))
aes_iv = bytes(range(0x10, 0x20))
out.append(f'inline constexpr char kAesKey[] = "{b64(aes_key)}";')
out.append(f'inline constexpr char kAesIv[] = "{b64(aes_iv)}";')
for size in (15, 16):
    plaintext = bytes(range(size))
    out.append(f'inline constexpr char kAesPlaintext{size}[] = "{b64(plaintext)}";')
    out.append(f'inline constexpr char kAesCiphertext{size}[] = "{b64(aes_cbc(aes_key, aes_iv, plaintext))}";')

out.append(f'inline constexpr char kMessage[] = {utf8_literal(message)};')

# K001 under a 64-byte key with a fixed IV.
key = bytes(range(0x80, 0xC0))
iv = bytes(range(0xF0, 0x100))
ciphertext = aes_cbc(key[:32], iv, message.encode())
k001 = 'formatK001-' + b64(mac(key[32:64], iv + ciphertext)) + b64(iv) + b64(ciphertext)
out.append(f'inline constexpr char kK001Key[] = "{b64(key)}";')
out.append(f'inline constexpr char kK001Iv[] = "{b64(iv)}";')
out.append(f'inline constexpr char kK001Text[] = "{k001}";')

# The JSON legacy layout under a 32-byte key, with an extra member.
json_key = bytes(range(0x20, 0x40))
json_iv = bytes(range(0x60, 0x70))
json_text = json.dumps({'v': [1, {'x': None}], 'iv': b64(json_iv),
                        'cipher': b64(aes_cbc(json_key, json_iv, message.encode()))})
out.append(f'inline constexpr char kJsonLayoutKey[] = "{b64(json_key)}";')
out.append(f'inline constexpr char kJsonLayoutText[] = {c_string(json_text)};')

# The bare legacy layout under the K001 key (its first 32 bytes are used).
bare_iv = bytes(range(0x30, 0x40))
bare = b64(bare_iv) + b64(aes_cbc(key[:32], bare_iv, message.encode()))
out.append(f'inline constexpr char kBareLayoutText[] = "{bare}";')

# P001 with fixed salt, IV and embedded challenge, in the order they are drawn.
password = 'correct horse 🐎 battery'
salt = bytes(range(0x01, 0x21))
p_iv = bytes(range(0x50, 0x60))
challenge = bytes(range(0xC0, 0xD0))
pair = pbkdf2(password.encode(), salt, 100000, 64)
p_ciphertext = aes_cbc(pair[:32], p_iv, message.encode())
p001 = ('formatP001-' + b64(salt) + b64(challenge) + b64(mac(pair[32:], challenge)) +
        b64(mac(pair[32:], salt + p_iv + p_ciphertext)) + b64(p_iv) + b64(p_ciphertext))
out.append(f'inline constexpr char kPassword[] = {utf8_literal(password)};')
out.append(f'inline constexpr char kP001Salt[] = "{b64(salt)}";')
out.append(f'inline constexpr char kP001Iv[] = "{b64(p_iv)}";')
out.append(f'inline constexpr char kP001Challenge[] = "{b64(challenge)}";')
out.append(f'inline constexpr char kP001Text[] = "{p001}";')

# The legacy password layout: 16-byte salt, cipher key of 32 derived bytes.
legacy_salt = bytes(range(0x70, 0x80))
legacy_iv = bytes(range(0x90, 0xA0))
legacy_key = pbkdf2(password.encode(), legacy_salt, 100000, 32)
legacy = b64(legacy_salt) + b64(legacy_iv) + b64(aes_cbc(legacy_key, legacy_iv, message.encode()))
out.append(f'inline constexpr char kLegacyPasswordText[] = "{legacy}";')

header = '''// Known answers made by tests/crypto/vectors/make_known_answers.py with
// Python's cryptography package. Generated once; do not edit.
#pragma once

namespace quillmar::testing {

struct Pbkdf2Answer {
  const char* password;
  const char* salt_base64;
  unsigned iterations;
  const char* derived_base64;
};

'''
path = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'known_answers.h')
with open(path, 'w', encoding='utf-8') as f:
    f.write(header + '\n'.join(out) + '\n\n}  // namespace quillmar::testing\n')
