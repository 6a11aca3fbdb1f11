#!/usr/bin/env python3
"""Writes rsa_known_answers.h: RSA keys, an OAEP ciphertext and a PSS
signature made by Python's cryptography package (the 512-bit key, below its
size limit, by the openssl command line).

Run once by hand; the keys are random, so the output is checked in and never
made again by the tests.
"""
import base64
import os
import subprocess
import tempfile

from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec, padding, rsa


def b64(data):
    return base64.b64encode(data).decode()


def pkcs8(key):
    return key.private_bytes(serialization.Encoding.DER, serialization.PrivateFormat.PKCS8,
                             serialization.NoEncryption())


def spki(key):
    return key.public_key().public_bytes(serialization.Encoding.DER,
                                         serialization.PublicFormat.SubjectPublicKeyInfo)


def hex_of(number):
    text = format(number, 'x')
    return '0' + text if len(text) % 2 else text


message = 'Grüße, 世界! 🔐 "quoted"'
challenge = bytes(range(0, 48))
sha256 = hashes.SHA256()
oaep = padding.OAEP(mgf=padding.MGF1(sha256), algorithm=sha256, label=None)
pss = padding.PSS(mgf=padding.MGF1(sha256), salt_length=32)

key = rsa.generate_private_key(public_exponent=65537, key_size=2048)
numbers = key.private_numbers()
other = rsa.generate_private_key(public_exponent=65537, key_size=3072)
ec_key = ec.generate_private_key(ec.SECP256R1())
with tempfile.TemporaryDirectory() as directory:
    small_path = os.path.join(directory, 'small.der')
    subprocess.run(['openssl', 'genpkey', '-algorithm', 'RSA', '-pkeyopt', 'rsa_keygen_bits:512',
                    '-outform', 'DER', '-out', small_path], check=True, capture_output=True)
    with open(small_path, 'rb') as f:
        small = serialization.load_der_private_key(f.read(), password=None)

out = []
out.append('// A 2048-bit key pair: PKCS #8, SubjectPublicKeyInfo, and its numbers in hex.')
out.append(f'inline constexpr char kRsaPrivateKey[] = "{b64(pkcs8(key))}";')
out.append(f'inline constexpr char kRsaPublicKey[] = "{b64(spki(key))}";')
fields = [('Modulus', numbers.public_numbers.n), ('PublicExponent', numbers.public_numbers.e),
          ('PrivateExponent', numbers.d), ('Prime1', numbers.p), ('Prime2', numbers.q),
          ('Exponent1', numbers.dmp1), ('Exponent2', numbers.dmq1),
          ('Coefficient', numbers.iqmp)]
for name, value in fields:
    out.append(f'inline constexpr char kRsa{name}Hex[] = "{hex_of(value)}";')
out.append('// The same key in the traditional PKCS #1 form, which is not PKCS #8.')
traditional = key.private_bytes(serialization.Encoding.DER,
                                serialization.PrivateFormat.TraditionalOpenSSL,
                                serialization.NoEncryption())
out.append(f'inline constexpr char kRsaTraditionalKey[] = "{b64(traditional)}";')
out.append('// Made with the public key: OAEP (SHA-256, MGF1-SHA-256, no label) of kRsaMessage,')
out.append('// and PSS (SHA-256, MGF1-SHA-256, 32-byte salt) over kRsaChallenge.')
out.append('inline constexpr char kRsaMessage[] = "' +
           message.replace('\\', '\\\\').replace('"', '\\"') + '";')
out.append(f'inline constexpr char kRsaOaepCiphertext[] = '
           f'"{b64(key.public_key().encrypt(message.encode(), oaep))}";')
out.append(f'inline constexpr char kRsaChallenge[] = "{b64(challenge)}";')
out.append(f'inline constexpr char kRsaPssSignature[] = "{b64(key.sign(challenge, pss, sha256))}";')
out.append('// A 3072-bit key pair, a 512-bit one (too small for PSS with a 32-byte salt)')
out.append('// and an EC P-256 pair.')
out.append(f'inline constexpr char kRsaOtherPrivateKey[] = "{b64(pkcs8(other))}";')
out.append(f'inline constexpr char kRsaOtherPublicKey[] = "{b64(spki(other))}";')
out.append(f'inline constexpr char kRsaSmallPrivateKey[] = "{b64(pkcs8(small))}";')
out.append(f'inline constexpr char kEcPrivateKey[] = "{b64(pkcs8(ec_key))}";')
out.append(f'inline constexpr char kEcPublicKey[] = "{b64(spki(ec_key))}";')

header = '''// RSA known answers made by tests/crypto/vectors/make_rsa_known_answers.py
// with Python's cryptography package. Generated once; do not edit.
#pragma once

namespace quillmar::testing {

'''
path = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'rsa_known_answers.h')
with open(path, 'w', encoding='utf-8') as f:
    f.write(header + '\n'.join(out) + '\n\n}  // namespace quillmar::testing\n')
