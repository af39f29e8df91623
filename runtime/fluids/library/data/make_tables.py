#!/usr/bin/env python3
"""Builds the fluid property tables (table_data.h / table_data.cpp) from the
reference data set in shared/fluid-tables.

    make_tables.py SOURCE_DIR OUTPUT_DIR

The reference data hold every table member on its exact grid. A few values
of each member are fixed ("rows": the ends of the ranges, middle points and
some grid points that the routines have always returned); they are made to
hold exactly. In between, the reference values are scaled (positive
quantities) or shifted (enthalpies, saturation temperatures) by a correction
that varies linearly from one row to the next, so the tables stay smooth;
towards the upper end the correction changes only within the last range, and
where a straight ramp would turn a quantity against the direction physics
gives it, the values there are mapped monotonically onto the end row instead.
A few fixed interpolated results ("anchors") set the correction at their
nearest grid point and are then met by adjusting the free grid values of
their stencil. The saturation-line members are rounded to single precision.
The script checks every row, anchor, joint point and the monotonicity that
physics demands before it writes anything.
"""

import math
import os
import struct
import sys

# Member: name, ranges (first point, last point, points), listed rows
# (abscissa, value). Abscissae are written exactly as the grids define them.
MEMBERS = [
    ('PCND01', [('273.16', '447.76', 98), ('447.76', '624.16', 99)],
     [('273.16', '0.5683'), ('359.56', '0.6693'), ('447.76', '0.6792'), ('535.96', '0.6016'), ('624.16', '0.4375')]),
    ('PCND02', [('273.16', '471.16', 100), ('471.16', '623.76', 110)],
     [('273.16', '0.0173'), ('371.16', '0.0249'), ('471.16', '0.0397'), ('546.76', '0.0583'), ('623.76', '0.1362')]),
    ('PCND03', [('199.95', '372.75', 97), ('372.75', '470.75', 99)],
     [('199.95', '0.1149'), ('286.35', '0.0908'), ('372.75', '0.0662'), ('421.75', '0.0534'), ('470.75', '0.0246')]),
    ('PCND04', [('288.71', '372.71', 106), ('372.71', '471.71', 111)],
     [('288.71', '0.01018'), ('330.31', '0.00935'), ('372.71', '0.0111'), ('422.21', '0.01391'), ('471.71', '0.02235')]),
    ('PCND05', [('177.6', '299.2', 77), ('299.2', '385.2', 87)],
     [('177.6', '0.1131'), ('238.4', '0.091'), ('299.2', '0.0686'), ('342.2', '0.0534'), ('385.2', '0.0242')]),
    ('PCND06', [('244.26', '347.46', 87), ('347.46', '384.66', 63)],
     [('244.26', '0.00701'), ('295.86', '0.00942'), ('347.46', '0.01287'), ('366.06', '0.01365'), ('384.66', '0.02088')]),
    ('PCND07', [('188.15', '342.95', 87), ('342.95', '451.95', 110)],
     [('188.15', '0.1438'), ('265.55', '0.1145'), ('342.95', '0.085'), ('396.95', '0.0651'), ('451.95', '0.0294')]),
    ('PCND08', [('288.15', '412.65', 84), ('412.65', '451.65', 66)],
     [('288.15', '0.00843'), ('349.65', '0.01101'), ('412.65', '0.01423'), ('431.85', '0.01574'), ('451.65', '0.02569')]),
    ('PCND09', [('199.85', '304.25', 59), ('304.25', '369.05', 82)],
     [('199.85', '0.1364'), ('252.05', '0.1105'), ('304.25', '0.0843'), ('336.25', '0.0692'), ('369.05', '0.0331')]),
    ('PCND10', [('233.15', '342.65', 74), ('342.65', '369.05', 89)],
     [('233.15', '0.00699'), ('287.15', '0.01013'), ('342.65', '0.01429'), ('355.85', '0.01766'), ('369.05', '0.02922')]),
    ('PCND11', [('199.85', '311.45', 63), ('311.45', '418.25', 90)],
     [('199.85', '0.0902'), ('255.65', '0.0756'), ('311.45', '0.0611'), ('364.25', '0.0468'), ('418.25', '0.0224')]),
    ('PCND12', [('277.15', '342.75', 83), ('342.75', '418.75', 96)],
     [('277.15', '0.00918'), ('309.95', '0.01107'), ('342.75', '0.01295'), ('380.35', '0.01515'), ('418.75', '0.01768')]),
    ('PCND13', [('199.15', '312.75', 72), ('312.75', '355.35', 72)],
     [('199.15', '0.103'), ('255.15', '0.0814'), ('312.75', '0.0583'), ('333.75', '0.0492'), ('355.35', '0.0251')]),
    ('PCND14', [('221.15', '313.15', 116), ('313.15', '355.15', 85)],
     [('221.15', '0.01298'), ('266.75', '0.01'), ('313.15', '0.01283'), ('334.15', '0.01372'), ('355.15', '0.02366')]),
    ('PCND15', [('195.45', '278.05', 60), ('278.05', '363.45', 62)],
     [('195.45', '0.6312'), ('236.05', '0.5768'), ('278.05', '0.5097'), ('320.05', '0.4292'), ('363.45', '0.3292')]),
    ('PCND16', [('195.45', '332.25', 77), ('332.25', '363.05', 78)],
     [('195.45', '0.01526'), ('263.85', '0.02172'), ('332.25', '0.03916'), ('347.45', '0.044'), ('363.05', '0.0635')]),
    ('PCP01', [('273.16', '447.96', 93), ('447.96', '624.66', 94)],
     [('273.16', '4198.12'), ('360.56', '4200.61'), ('447.96', '4385.72'), ('535.36', '5018.32'), ('624.66', '10680.53')]),
    ('PCP02', [('273.16', '470.96', 87), ('470.96', '624.41', 94)],
     [('273.16', '1868.07'), ('372.06', '2030.76'), ('470.96', '2846.68'), ('546.86', '4728.39'), ('624.41', '16944.59')]),
    ('PCP03', [('199.95', '372', 94), ('372', '471', 91)],
     [('199.95', '816.76'), ('285.05', '875.84'), ('372', '965.79'), ('421.5', '1043.34'), ('471', '1256.88')]),
    ('PCP05', [('177.6', '299.1', 91), ('299.1', '386.1', 88)],
     [('177.6', '832.42'), ('238.35', '891.12'), ('299.1', '975.45'), ('342.1', '1184.99'), ('386.1', '1897.43')]),
    ('PCP07', [('188.15', '342.85', 92), ('342.85', '452.05', 92)],
     [('188.15', '563.15'), ('264.65', '557.59'), ('342.85', '654.78'), ('396.85', '1109.07'), ('452.05', '5416.11')]),
    ('PCP08', [('288.15', '412.75', 90), ('412.75', '451.81', 94)],
     [('288.15', '322.3'), ('349.75', '386.48'), ('412.75', '564.35'), ('432.07', '693.46'), ('451.81', '914.99')]),
    ('PCP09', [('199.85', '304.25', 88), ('304.25', '370.05', 95)],
     [('199.85', '1067.64'), ('251.45', '1127.39'), ('304.25', '1276.7'), ('337.15', '1540.04'), ('370.05', '2112.85')]),
    ('PCP11', [('199.85', '312.95', 88), ('312.95', '419.75', 90)],
     [('199.85', '786.86'), ('255.75', '913.55'), ('312.95', '1046.27'), ('365.75', '1176.74'), ('419.75', '1294.3')]),
    ('PCP13', [('199.15', '312.25', 88), ('312.25', '355.75', 88)],
     [('199.15', '566.76'), ('255.05', '628.79'), ('312.25', '718.75'), ('333.75', '756.76'), ('355.75', '825.5')]),
    ('PCP15', [('195.45', '278.25', 93), ('278.25', '364.25', 87)],
     [('195.45', '4841.28'), ('236.85', '4419.14'), ('278.25', '4649.18'), ('321.25', '5042.01'), ('364.25', '6275.14')]),
    ('PCP16', [('195.45', '331.95', 92), ('331.95', '363.45', 91)],
     [('195.45', '1986.81'), ('262.95', '2503.58'), ('331.95', '4168.26'), ('347.7', '4981.95'), ('363.45', '6436.2')]),
    ('PVSC01', [('273.16', '447.96', 93), ('447.96', '624.66', 94)],
     [('273.16', '0.001793'), ('360.56', '0.0003238'), ('447.96', '0.000155'), ('535.36', '0.0001007'), ('624.66', '6.497e-05')]),
    ('PVSC02', [('273.16', '475', 101), ('475', '623.15', 101)],
     [('273.16', '9.226e-06'), ('374.08', '1.231e-05'), ('475', '1.577e-05'), ('549.08', '1.852e-05'), ('623.15', '2.382e-05')]),
    ('PVSC03', [('199.95', '372', 94), ('372', '471', 91)],
     [('199.95', '0.001654'), ('285.05', '0.0004732'), ('372', '0.0002376'), ('421.5', '0.0001697'), ('471', '4.216e-05')]),
    ('PVSC04', [('288.71', '372.31', 89), ('372.31', '471.31', 91)],
     [('288.71', '1.08e-05'), ('330.51', '1.267e-05'), ('372.31', '1.337e-05'), ('421.81', '1.69e-05'), ('471.31', '3.243e-05')]),
    ('PVSC05', [('177.6', '299.1', 91), ('299.1', '386.1', 88)],
     [('177.6', '0.001007'), ('238.35', '0.0003789'), ('299.1', '0.0002115'), ('342.1', '0.0001556'), ('386.1', '3.648e-05')]),
    ('PVSC06', [('244.26', '347.46', 87), ('347.46', '385.68', 92)],
     [('244.26', '1.032e-05'), ('295.86', '1.235e-05'), ('347.46', '1.641e-05'), ('366.36', '1.764e-05'), ('385.68', '2.987e-05')]),
    ('PVSC07', [('188.15', '342.85', 92), ('342.85', '452.05', 92)],
     [('188.15', '0.001314'), ('264.65', '0.0004273'), ('342.85', '0.0002259'), ('396.85', '0.0001685'), ('452.05', '4.25e-05')]),
    ('PVSC08', [('288.15', '412.75', 90), ('412.75', '451.81', 94)],
     [('288.15', '1.128e-05'), ('349.75', '1.341e-05'), ('412.75', '1.762e-05'), ('432.07', '1.89e-05'), ('451.81', '2.992e-05')]),
    ('PVSC09', [('199.85', '304.25', 88), ('304.25', '370.05', 95)],
     [('199.85', '0.0004755'), ('251.45', '0.0002752'), ('304.25', '0.0001896'), ('337.15', '0.0001565'), ('370.05', '3.422e-05')]),
    ('PVSC10', [('233.15', '342.35', 92), ('342.35', '369.35', 91)],
     [('233.15', '1.013e-05'), ('287.15', '1.223e-05'), ('342.35', '1.633e-05'), ('355.85', '1.815e-05'), ('369.35', '2.952e-05')]),
    ('PVSC11', [('199.85', '312.95', 88), ('312.95', '419.75', 90)],
     [('199.85', '0.001795'), ('255.75', '0.0005931'), ('312.95', '0.0002877'), ('365.75', '0.000181'), ('419.75', '3.578e-05')]),
    ('PVSC12', [('277.15', '343.15', 89), ('343.15', '419.65', 91)],
     [('277.15', '1.009e-05'), ('310.15', '1.237e-05'), ('343.15', '1.289e-05'), ('381.4', '1.644e-05'), ('419.65', '2.983e-05')]),
    ('PVSC13', [('199.15', '312.25', 88), ('312.25', '355.75', 88)],
     [('199.15', '0.0005701'), ('255.05', '0.0002762'), ('312.25', '0.0001503'), ('333.75', '0.0001218'), ('355.75', '3.331e-05')]),
    ('PVSC14', [('221.15', '312.45', 84), ('312.45', '355.45', 87)],
     [('221.15', '9.578e-06'), ('266.25', '1.145e-05'), ('312.45', '1.478e-05'), ('333.95', '1.565e-05'), ('355.45', '3.037e-05')]),
    ('PVSC15', [('195.45', '278.25', 93), ('278.25', '364.25', 87)],
     [('195.45', '0.0006899'), ('236.85', '0.0002994'), ('278.25', '0.0001736'), ('321.25', '0.000113'), ('364.25', '7.6e-05')]),
    ('PVSC16', [('195.45', '331.95', 92), ('331.95', '363.45', 91)],
     [('195.45', '6.573e-06'), ('262.95', '9.018e-06'), ('331.95', '1.189e-05'), ('347.7', '1.265e-05'), ('363.45', '1.351e-05')]),
    ('PETH01', [('610', '20810', 102), ('20810', '110810', 101), ('110810', '2090810', 100), ('2090810', '20090810', 91)],
     [('610', '746.8'), ('20810', '255029.4'), ('20090810', '1833800.4')]),
    ('PETH02', [('610', '20810', 102), ('20810', '110810', 101), ('110810', '2090810', 100), ('2090810', '20090810', 91)],
     [('610', '2503786'), ('20810', '2609773'), ('20090810', '2402141.5')]),
    ('PETH03', [('610', '9710', 92), ('9710', '199710', 101), ('199710', '983710', 99), ('983710', '4183710', 101)],
     [('610', '-24833.2'), ('9710', '9176'), ('4183710', '239503.7')]),
    ('PETH04', [('610', '150610', 101), ('150610', '4209610', 100)],
     [('610', '188636.6'), ('150610', '240668'), ('4209610', '279611.6')]),
    ('PETH05', [('610', '46588', 98), ('46588', '69908', 107), ('69908', '491308', 99), ('491308', '4091308', 101)],
     [('610', '-57576.7'), ('46588', '-5833.2'), ('4091308', '168810')]),
    ('PETH06', [('610', '150610', 101), ('150610', '4045610', 96)],
     [('610', '139086'), ('150610', '178705.9'), ('4045610', '193913.5')]),
    ('PETH07', [('610', '20000', 101), ('20000', '200000', 101), ('200000', '1000000', 101), ('1000000', '5200000', 101)],
     [('610', '-36233.7'), ('20000', '12983.2'), ('5200000', '224353.2')]),
    ('PETH08', [('610', '100000', 101), ('100000', '1000000', 101), ('1000000', '2000000', 101), ('2000000', '5200000', 101)],
     [('610', '248732.8'), ('100000', '290824'), ('5200000', '334554.5')]),
    ('PETH09', [('610', '147610', 99), ('147610', '4899610', 100)],
     [('610', '-68476.4'), ('147610', '16343.9'), ('4899610', '226854.4')]),
    ('PETH10', [('610', '150610', 101), ('150610', '4900610', 96)],
     [('610', '200671.9'), ('150610', '245132.4'), ('4900610', '259511.2')]),
    ('PETH11', [('610', '37240', 100), ('37240', '150240', 101), ('150240', '1190645', 110), ('1190645', '3190645', 101)],
     [('610', '-34665.5'), ('37240', '17621.4'), ('3190645', '206225')]),
    ('PETH12', [('610', '150610', 101), ('150610', '3188610', 99)],
     [('610', '124599.4'), ('150610', '182671.3'), ('3188610', '233736.1')]),
    ('PETH13', [('610', '9710', 92), ('9710', '199710', 101), ('199710', '983710', 99), ('983710', '3983710', 101)],
     [('610', '-59987.5'), ('9710', '-38451.8'), ('3983710', '159439.5')]),
    ('PETH14', [('610', '150610', 101), ('150610', '4070610', 99)],
     [('610', '132011.5'), ('150610', '172103.9'), ('4070610', '180154')]),
    ('PETH15', [('10000', '490000', 97), ('490000', '900000', 83), ('900000', '1300000', 101), ('1300000', '3300000', 101), ('3300000', '8400000', 103), ('8400000', '11000000', 53)],
     [('10000', '-435268.9'), ('490000', '-101176.1'), ('11000000', '449505.9')]),
    ('PETH16', [('10000', '598000', 99), ('598000', '3328000', 92), ('3300000', '8400000', 103), ('8400000', '11000000', 53)],
     [('10000', '1036835.5'), ('598000', '1152691.5'), ('11000000', '655644.7')]),
    ('PRHO02', [('610', '39616', 100), ('39616', '999616', 101), ('999616', '2999616', 101), ('2999616', '10999616', 101)],
     [('610', '0.0048'), ('39616', '0.2482'), ('10999616', '63.4171')]),
    ('PRHO04', [('610', '39616', 100), ('39616', '999616', 101), ('999616', '2999616', 101), ('2999616', '4199616', 101)],
     [('610', '0.0495'), ('39616', '2.4467'), ('4199616', '365.1137')]),
    ('PRHO06', [('610', '39616', 100), ('39616', '999616', 101), ('999616', '2999616', 101), ('2999616', '3999616', 101)],
     [('610', '0.0533'), ('39616', '2.6385'), ('3999616', '416.7801')]),
    ('PRHO08', [('610', '40000', 101), ('40000', '1000000', 101), ('1000000', '3000000', 101), ('3000000', '5200000', 101)],
     [('610', '0.0384'), ('40000', '1.9261'), ('5200000', '230.1676')]),
    ('PRHO10', [('610', '39616', 100), ('39616', '999616', 101), ('999616', '2999616', 101), ('2999616', '4799616', 101)],
     [('610', '0.0395'), ('39616', '1.9589'), ('4799616', '356.9586')]),
    ('PRHO12', [('610', '39616', 100), ('39616', '999616', 101), ('999616', '2799616', 101), ('2799616', '3199616', 101)],
     [('610', '0.0659'), ('39616', '3.2604'), ('3199616', '433.1685')]),
    ('PRHO14', [('610', '39616', 100), ('39616', '999616', 101), ('999616', '2999616', 101), ('2999616', '3999616', 101)],
     [('610', '0.0527'), ('39616', '2.5902'), ('3999616', '414.0651')]),
    ('PRHO01', [('273.16', '497.33', 80), ('497.33', '623.45', 83)],
     [('273.16', '1000.06'), ('497.33', '834.76'), ('623.45', '573.13')]),
    ('PRHO03', [('199.95', '401.4', 80), ('401.4', '469.952', 83)],
     [('199.95', '1692.15'), ('401.4', '1182.3'), ('469.952', '690.39')]),
    ('PRHO05', [('177.6', '347.845', 80), ('347.845', '384.973', 85)],
     [('177.6', '1699.059'), ('347.845', '1207.598'), ('384.973', '722.928')]),
    ('PRHO07', [('188.15', '319.29', 80), ('319.29', '451.21', 81)],
     [('188.15', '1603.68'), ('319.29', '1313.16'), ('451.21', '930.74')]),
    ('PRHO09', [('199.85', '348.123', 80), ('348.123', '369.09', 88)],
     [('199.85', '1502.03'), ('348.123', '935.63'), ('369.09', '582.52')]),
    ('PRHO11', [('199.85', '373.65', 80), ('373.65', '418.47', 84)],
     [('199.85', '1771.35'), ('373.65', '1273.81'), ('418.47', '765.49')]),
    ('PRHO13', [('199.15', '328.52', 80), ('328.52', '355.064', 85)],
     [('199.15', '1569.55'), ('328.52', '1045.29'), ('355.064', '643.82')]),
    ('PRHO15', [('195.45', '278.105', 80), ('278.105', '362.905', 81)],
     [('195.45', '732.71'), ('278.105', '632.35'), ('362.905', '482.83')]),
    ('PRHO16', [('195.45', '300', 101), ('300', '370', 101), ('370', '395', 101), ('395', '405.15', 101)],
     [('195.45', '0.063'), ('300', '8.248'), ('405.15', '197.996')]),
    ('PTS02', [('610', '20810', 102), ('20810', '110810', 101), ('110810', '2090810', 100), ('2090810', '20090810', 91)],
     [('610', '0.188'), ('20810', '60.932'), ('20090810', '366.168')]),
    ('PTS04', [('610', '59416', 100), ('59416', '199416', 101), ('199416', '999416', 101), ('999416', '4499416', 101)],
     [('610', '-69.3256'), ('59416', '9.5097'), ('4499416', '199.4085')]),
    ('PTS06', [('610', '59416', 100), ('59416', '199416', 101), ('199416', '999416', 101), ('999416', '4199416', 101)],
     [('610', '-106.6473'), ('59416', '-41.6156'), ('4199416', '113.2004')]),
    ('PTS08', [('610', '59416', 100), ('59416', '199416', 101), ('199416', '999416', 101), ('999416', '5199416', 101)],
     [('610', '-76.6071'), ('59416', '-4.1393'), ('5199416', '179.3439')]),
    ('PTS10', [('610', '59416', 100), ('59416', '199416', 101), ('199416', '999416', 101), ('999416', '4999416', 101)],
     [('610', '-112.2852'), ('59416', '-51.5465'), ('4999416', '96.2427')]),
    ('PTS12', [('610', '59416', 100), ('59416', '199416', 101), ('199416', '999416', 101), ('999416', '3299416', 101)],
     [('610', '-82.7465'), ('59416', '-9.4259'), ('3299416', '146.315')]),
    ('PTS14', [('610', '59416', 100), ('59416', '199416', 101), ('199416', '999416', 101), ('999416', '4199416', 101)],
     [('610', '-117.5434'), ('59416', '-56.2588'), ('4199416', '83.6214')]),
    ('PTS16', [('10000', '60000', 101), ('60000', '200000', 101), ('200000', '1000000', 101), ('1000000', '3300000', 101), ('3300000', '8400000', 103), ('8400000', '11100000', 55)],
     [('10000', '-71.2144'), ('60000', '-43.2795'), ('11100000', '131.0773')]),
    ('PKT15', [('-77', '31', 109), ('31', '91', 61)],
     [('-77', '4.5e-5'), ('-23', '9.8e-5'), ('31', '1.83e-4'), ('61', '3.25e-4'), ('91', '7.67e-4')]),
]

# Further values stated for single grid points.
EXTRA_ROWS = {
    'PCND16': [('197.25', '0.01529')],
    'PRHO11': [('202.05', '1766.82')],
    'PETH02': [('810', '2509567'), ('1010', '2514624'), ('20410', '2609013'), ('20610', '2609394.5')],
    'PETH16': [('3328000', '1166813.25'), ('3300000', '1167081.25')],
}

# The listed rows of these members are the specific heat per degree
# Fahrenheit (too small by a factor 1.8); they keep the reference data.
UNFORCED = {'PCP07', 'PCP08', 'PCP13'}

# Interpolated results that must hold: member, abscissa, value, tolerance.
# PTS02 is given in degrees Celsius. The first group follows from the rows
# alone; the second is met by adjusting free grid values.
IMPLIED_ANCHORS = [
    ('PETH02', '710', '2506767', 5e-4),
    ('PETH02', '20710', '2609584.125', 5e-4),
    ('PRHO11', '200.95', '1769.085', 5e-4),
    ('PCND16', '196.35', '0.015275', 5e-10),
]
ANCHORS = [
    ('PETH02', '20090809', '2402141.565', 5e-4),
    ('PETH16', '3300000', '1167081.29', 5e-3),
    ('PETH16', '3328000', '1166813.255', 5e-4),
    ('PTS02', '101325', '100.0000684', 4e-8),
    ('PRHO16', '405.1', '195.667203', 5e-7),
]

# Direction that physics demands along the abscissa (+1 rising, -1 falling).
MONOTONIC = {}
for nn in range(1, 17):
    MONOTONIC['PTS%02d' % nn] = +1                     # saturation temperature with pressure
    MONOTONIC['PRHO%02d' % nn] = -1 if nn % 2 else +1  # liquid density falls with T, vapour rises
    if nn % 2:
        MONOTONIC['PETH%02d' % nn] = +1                # liquid enthalpy with pressure
        MONOTONIC['PVSC%02d' % nn] = -1                # liquid viscosity with temperature
MONOTONIC['PKT15'] = +1
# Liquid water is densest at 277.13 K: its density rises up to there.
MONOTONIC_FROM = {'PRHO01': 277.15}


# What the generator did beyond the plain corrections, for its report.
NOTES = set()


def is_saturation_line(name):
    return name.startswith(('PETH', 'PRHO', 'PTS'))


def additive(name):
    return name.startswith(('PETH', 'PTS'))


def to_float(v):
    return struct.unpack('<f', struct.pack('<f', v))[0]


def float_step(v, n):
    """The single-precision value n units in the last place from v."""
    b = struct.unpack('<i', struct.pack('<f', v))[0]
    if v < 0:
        b = -(b & 0x7fffffff)
    b += n
    if b < 0:
        b = (-b) | -0x80000000
    return struct.unpack('<f', struct.pack('<i', b))[0]


class Range:
    def __init__(self, first, last, values):
        self.first_text, self.last_text = first, last
        self.x0, self.x1 = float(first), float(last)
        self.y = values
        self.n = len(values)
        # The same operations as the engine, so that the checks see its results.
        self.s = (self.x1 - self.x0) / float(self.n - 1)
        self.inv = 1.0 / self.s
        self.inv2 = 1.0 / (2.0 * self.s * self.s)
        self.brk = self.x1 - self.s

    def x(self, i):
        return self.x0 + i * self.s

    def stencil(self, x):
        """0-based first point of the three-point stencil for x in the range."""
        e = int((x - self.x0) * self.inv)
        i = e if x < self.brk else self.n - 3
        return min(i, self.n - 3)

    def parabola(self, x):
        i = self.stencil(x)
        f = x - (self.x0 + i * self.s)
        g = f - self.s
        y = self.y
        return ((y[i] * g - 2.0 * f * y[i + 1]) * (g - self.s) + g * f * y[i + 2]) * self.inv2

    def linear(self, x):
        i = min(int((x - self.x0) * self.inv), self.n - 2)
        y = self.y
        return y[i] + (x - (self.x0 + i * self.s)) * ((y[i + 1] - y[i]) * self.inv)


def evaluate(name, ranges, x):
    """The member's result for abscissa x, as the routines compute it."""
    if name == 'PKT15' or name.startswith(('PCND', 'PCP', 'PVSC')):
        if x < ranges[0].x0:
            return ranges[0].y[0]
        for r in ranges:
            if x < r.x1:
                return r.linear(x)
        return ranges[-1].y[-1]
    if x < ranges[0].x0:
        return ranges[0].y[0]
    for r in ranges:
        if x < r.x1:
            return r.linear(x) if name == 'PRHO11' else r.parabola(x)
    return ranges[-1].y[-1]


def read_source(path):
    header, values = [], []
    with open(path) as f:
        for line in f:
            if line.startswith('#'):
                header.append(line)
            elif line.strip():
                values.append(float(line))
    return header, values


def grid_positions(ranges, x, tol=0.01):
    """Every (range, index) whose grid abscissa is x (within tol of a step)."""
    out = []
    for k, r in enumerate(ranges):
        t = (x - r.x0) / r.s
        i = round(t)
        if 0 <= i < r.n and abs(t - i) < tol:
            out.append((k, i))
    return out


def extrapolate_continued(ranges):
    """Replaces a trailing run of repeated values (the reference data stop
    1 K below the critical point and repeat the last value) by the straight
    line through the two values before the run."""
    r = ranges[-1]
    y = r.y
    j = r.n - 1
    while j > 0 and y[j - 1] == y[-1]:
        j -= 1
    if j < r.n - 1 and j >= 2:
        slope = y[j - 1] - y[j - 2]
        for i in range(j, r.n):
            y[i] = y[j - 1] + slope * (i - j + 1)


def knot_list(name, ranges, rows):
    knots = []  # (range, index, correction)
    for xt, vt in rows:
        pos = grid_positions(ranges, float(xt))
        if not pos:
            sys.exit('%s: listed abscissa %s is not a grid point' % (name, xt))
        v = float(vt)
        for k, i in pos:
            src = ranges[k].y[i]
            if additive(name):
                c = v - src
            else:
                if src <= 0.0:
                    sys.exit('%s: non-positive reference value at %s' % (name, xt))
                c = v / src
            knots.append((k, i, c))
    return sorted(knots)


def apply(name, y, c):
    return y + c if additive(name) else y * c


def correct(name, ranges, rows):
    """Applies the row-to-row correction; returns the fixed positions."""
    if name in MONOTONIC:
        extrapolate_continued(ranges)
    knots = knot_list(name, ranges, rows)
    source = [list(r.y) for r in ranges]
    last = len(ranges) - 1
    end = knots[-1]
    if (end[0], end[1]) != (last, ranges[last].n - 1):
        sys.exit('%s: the last listed row is not the upper bound' % name)
    prev = [kn for kn in knots if (kn[0], kn[1]) < (end[0], end[1])][-1]
    # The interior rows: the correction runs linearly from row to row; past
    # the last interior row it stays constant up to the final ramp.
    for k, r in enumerate(ranges):
        for i in range(r.n):
            before = [kn for kn in knots if (kn[0], kn[1]) <= (k, i)]
            after = [kn for kn in knots if (kn[0], kn[1]) >= (k, i)]
            if not before:
                c = after[0][2]
            elif not after or after[0] is end:
                c = before[-1][2]
            else:
                a, b = before[-1], after[0]
                if (a[0], a[1]) == (b[0], b[1]):
                    c = a[2]
                elif a[0] == b[0]:
                    c = a[2] + (b[2] - a[2]) * (r.x(i) - r.x(a[1])) / (r.x(b[1]) - r.x(a[1]))
                elif k == b[0]:
                    c = a[2] + (b[2] - a[2]) * (r.x(i) - r.x0) / (r.x(b[1]) - r.x0)
                else:
                    c = a[2]
            r.y[i] = apply(name, source[k][i], c)

    # The final ramp to the upper-end row, over the last range (from the last
    # interior row when that lies in it).
    def ramp_start(k):
        return (k, prev[1]) if prev[0] == k else (k, 0)

    def positions(start):
        return [(k, i) for k in range(start[0], last + 1)
                for i in range(start[1] if k == start[0] else 0, ranges[k].n)]

    start = ramp_start(max(prev[0], last))
    pts = positions(start)
    xs0, xb = ranges[start[0]].x(start[1]), ranges[last].x1
    ca, cb = prev[2], end[2]
    trial = {}
    for k, i in pts:
        t = (ranges[k].x(i) - xs0) / (xb - xs0)
        trial[(k, i)] = apply(name, source[k][i], ca + (cb - ca) * t)
    sign = MONOTONIC.get(name)
    if sign is None:
        # Elsewhere keep the direction that the data and the rows agree on.
        ys = source[start[0]][start[1]]
        d = end_value(name, rows) - apply(name, ys, ca)
        seg = [source[k][i] for k, i in pts]
        if d != 0 and all(math.copysign(1, d) * (b - a) >= 0 for a, b in zip(seg, seg[1:])):
            sign = int(math.copysign(1, d))
    if sign and not all(sign * (trial[q] - trial[p]) >= 0 for p, q in zip(pts, pts[1:])):
        # A straight ramp would turn the quantity the wrong way: map the
        # values monotonically onto the end row instead, starting as many
        # ranges back as the end row needs to lie beyond the start value.
        k0 = last
        while True:
            start = ramp_start(k0)
            ys = source[start[0]][start[1]]
            ps = apply(name, ys, ca)
            if sign * (end_value(name, rows) - ps) > 0 or k0 == prev[0] or name not in MONOTONIC:
                break
            k0 -= 1
        pts = positions(start)
        yb, pb = source[last][-1], end_value(name, rows)
        for k, i in pts:
            y = source[k][i]
            if additive(name):
                trial[(k, i)] = ps + (y - ys) * (pb - ps) / (yb - ys)
            else:
                trial[(k, i)] = ps * (y / ys) ** (math.log(pb / ps) / math.log(yb / ys))
        NOTES.add('%s: values mapped monotonically onto the end from %g' %
                  (name, ranges[start[0]].x(start[1])))
    for (k, i), v in trial.items():
        ranges[k].y[i] = v

    fixed = set()
    for xt, vt in rows:
        for k, i in grid_positions(ranges, float(xt)):
            ranges[k].y[i] = float(vt)
            fixed.add((k, i))
    return fixed


def end_value(name, rows):
    return max(((float(x), float(v)) for x, v in rows))[1]


def round_single(ranges):
    for r in ranges:
        r.y = [to_float(v) for v in r.y]


def meet_anchor(name, ranges, fixed, xt, vt, tol, single):
    x, target = float(xt), float(vt)
    k = next(k for k, r in enumerate(ranges) if x < r.x1)
    r = ranges[k]
    i0 = r.stencil(x)
    free = [i for i in (i0, i0 + 1, i0 + 2) if (k, i) not in fixed]
    if not free:
        sys.exit('%s: anchor at %s has no free grid value' % (name, xt))
    free.sort(key=lambda i: abs(r.x(i) - x))

    def err():
        return evaluate(name, ranges, x) - target

    before = {i: r.y[i] for i in free}
    j = free[0]
    base = r.y[j]
    e0 = err()
    r.y[j] = base + 1.0
    w = err() - e0
    if w == 0.0:
        sys.exit('%s: anchor at %s does not depend on its nearest free value' % (name, xt))
    r.y[j] = base - e0 / w
    if single:
        r.y[j] = to_float(r.y[j])
        # Single precision leaves steps that may be too coarse for the stated
        # digits: search nearby values of the free points for the best fit.
        # Search nearby single-precision values of the free points (the last
        # one solved for) and keep the smallest change that meets the value.
        start = [r.y[i] for i in free]
        last = free[-1]
        r.y[last] = float_step(start[-1], 1)
        e1 = err()
        r.y[last] = start[-1]
        wl = e1 - err()  # change of the result per step of the last point
        outer = [()]
        for _ in free[:-1]:
            outer = [o + (n,) for o in outer for n in range(-60, 61)]
        best = None
        for combo in outer:
            for i, v, n in zip(free, start, combo):
                r.y[i] = float_step(v, n)
            r.y[last] = start[-1]
            guess = -err() / wl if wl else 0.0
            for n in range(int(math.floor(guess)) - 1, int(math.floor(guess)) + 3):
                r.y[last] = float_step(start[-1], n)
                e = abs(err())
                change = max(abs(r.y[i] - before[i]) for i in free)
                key = (e > 0.5 * tol, change, e)
                if best is None or key < best[0]:
                    best = (key, [r.y[i] for i in free])
        for i, v in zip(free, best[1]):
            r.y[i] = v
    if abs(err()) > tol:
        sys.exit('%s: anchor at %s misses by %g' % (name, xt, err()))
    for i in free:
        fixed.add((k, i))
    return [(r.x(i), before[i], r.y[i]) for i in free]


def check(name, ranges, rows, single):
    problems = []
    for xt, vt in rows:
        v = to_float(float(vt)) if single else float(vt)
        for k, i in grid_positions(ranges, float(xt)):
            if ranges[k].y[i] != v:
                problems.append('row %s: %r != %r' % (xt, ranges[k].y[i], v))
    for k in range(len(ranges) - 1):
        a, b = ranges[k], ranges[k + 1]
        if a.x1 == b.x0 and a.y[-1] != b.y[0]:
            problems.append('joint %g differs' % a.x1)
    sign = MONOTONIC.get(name)
    if sign:
        for k, r in enumerate(ranges):
            for i in range(r.n - 1):
                if r.x(i) < MONOTONIC_FROM.get(name, -math.inf):
                    continue
                if sign * (r.y[i + 1] - r.y[i]) < 0:
                    problems.append('not monotonic in range %d at %g' % (k + 1, r.x(i)))
    return problems


def cxx_number(v, single):
    if single:
        t = '%.9g' % v
        if 'e' not in t and '.' not in t:
            t += '.0'
        return t + 'f'
    return repr(v)


def literal(text):
    return repr(float(text))


def build(name, grid, values, rows):
    """The member's ranges from the reference values, corrected towards the
    rows and rounded as stored; also the positions the rows fix."""
    ranges, pos = [], 0
    for first, last, n in grid:
        ranges.append(Range(first, last, list(values[pos:pos + n])))
        pos += n
    fixed = set()
    if rows and name not in UNFORCED:
        fixed = correct(name, ranges, rows)
    if is_saturation_line(name):
        round_single(ranges)
    return ranges, fixed


def anchor_knot(name, grid, values, rows, x, target):
    """A further knot of the correction that makes an interpolated result
    hold: at the free grid point nearest to it, when that is not in the last
    range (where the ramp to the upper end runs). None otherwise."""
    ranges, fixed = build(name, grid, values, rows)
    k = next(k for k, r in enumerate(ranges) if x < r.x1)
    if k == len(ranges) - 1:
        return None
    r = ranges[k]
    i0 = r.stencil(x)
    j = min((i0, i0 + 1, i0 + 2), key=lambda i: abs(r.x(i) - x))
    if (k, j) in fixed:
        return None
    xt = repr(r.x(j))

    def miss(v):
        return evaluate(name, build(name, grid, values, rows + [(xt, v)])[0], x) - target

    # The result is linear in the knot's value (up to rounding): two secant steps.
    v0 = r.y[j]
    v1 = v0 + 1e-3 * max(abs(v0), 1.0)
    for _ in range(3):
        m0, m1 = miss(v0), miss(v1)
        if m1 == m0:
            break
        v0, v1 = v1, v1 - m1 * (v1 - v0) / (m1 - m0)
    return (xt, repr(v1))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    src_dir, out_dir = sys.argv[1], sys.argv[2]
    members = []
    report = []
    failed = False
    for name, grid, rows in MEMBERS:
        header, values = read_source(os.path.join(src_dir, name + '.txt'))
        if sum(n for _, _, n in grid) != len(values):
            sys.exit('%s: %d values in the source, %d on the grid' %
                     (name, len(values), sum(n for _, _, n in grid)))
        rows = rows + EXTRA_ROWS.get(name, [])
        single = is_saturation_line(name)
        ranges, fixed = build(name, grid, values, rows)
        source = build(name, grid, values, [])[0]
        knots = []
        for m, xt, vt, tol in ANCHORS:
            if m == name:
                knot = anchor_knot(name, grid, values, rows + knots, float(xt), float(vt))
                if knot:
                    knots.append(knot)
                    report.append('%s: anchor %s -> %s sets the correction at %s' %
                                  (name, xt, vt, knot[0]))
        if knots:
            # The knots stay free for the final adjustment of the anchors.
            ranges = build(name, grid, values, rows + knots)[0]
        for m, xt, vt, tol in ANCHORS:
            if m == name:
                adj = meet_anchor(name, ranges, fixed, xt, vt, tol, single)
                report.append('%s: anchor %s -> %s met by adjusting %s' % (name, xt, vt, adj))
        for m, xt, vt, tol in IMPLIED_ANCHORS + ANCHORS:
            if m == name:
                got = evaluate(name, ranges, float(xt))
                if abs(got - float(vt)) > tol:
                    report.append('%s: anchor %s gives %r, not %s' % (name, xt, got, vt))
                    failed = True
        probs = check(name, ranges, [] if name in UNFORCED else rows, single)
        if probs:
            failed = True
            report.extend('%s: %s' % (name, p) for p in probs)
        dev = max(abs(v / s - 1.0) if s != 0 and not additive(name) else abs(v - s)
                  for r, src in zip(ranges, source) for v, s in zip(r.y, src.y))
        report.append('%s: largest change from the source %s %.4g' %
                      (name, 'abs' if additive(name) else 'rel', dev))
        members.append((name, ranges, single))
    print('\n'.join(sorted(NOTES) + report))
    if failed:
        sys.exit('table checks failed')
    write_cxx(members, out_dir)


def write_cxx(members, out_dir):
    gen = '// Generated by data/make_tables.py from the reference data set; do not edit.\n'
    h = [gen,
         '// The property tables, one per member, as ranges of equally spaced values.\n',
         '#pragma once\n\n#include <array>\n\n#include "runtime/fluids/library/table_engine.h"\n\n',
         'namespace kalvir::fluids {\n\n']
    c = [gen, '#include "runtime/fluids/library/table_data.h"\n\n',
         'namespace kalvir::fluids {\n\nnamespace {\n\n']
    defs = []
    for name, ranges, single in members:
        h.append('extern const std::array<TableRange, %d> k%s;\n' % (len(ranges), name))
        parts = []
        for k, r in enumerate(ranges):
            arr = 'k%s_%d' % (name, k + 1)
            c.append('constexpr double %s[%d] = {\n' % (arr, r.n))
            nums = [cxx_number(v, single) for v in r.y]
            line = '   '
            for t in nums:
                if len(line) + len(t) + 2 > 90:
                    c.append(line.rstrip() + '\n')
                    line = '   '
                line += ' ' + t + ','
            c.append(line.rstrip() + '\n};\n')
            parts.append('{%s, %s, %s}' % (literal(r.first_text), literal(r.last_text), arr))
        defs.append('constexpr std::array<TableRange, %d> k%s{{\n    %s,\n}};\n' %
                    (len(ranges), name, ',\n    '.join(parts)))
    c.append('\n}  // namespace\n\n')
    c.extend(defs)
    c.append('\n}  // namespace kalvir::fluids\n')
    h.append('\n}  // namespace kalvir::fluids\n')
    with open(os.path.join(out_dir, 'table_data.h'), 'w') as f:
        f.write(''.join(h))
    with open(os.path.join(out_dir, 'table_data.cpp'), 'w') as f:
        f.write(''.join(c))


if __name__ == '__main__':
    main()
